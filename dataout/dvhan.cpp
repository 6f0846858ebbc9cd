// The table of data-value node types: comparisons and logic of two sources,
// the deviation of a module's vector from the model's, and the nodes with
// state that are sampled at node updates (time accounting, counts, extremes).
#include "dataout/dvhan.h"
#include <cmath>
#include "dataout/dataout.h"
#include "foundation/constants.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/vecmath.h"
#include "foundation/time.h"

namespace {

constexpr uint64_t kDayMs = 86400000;
constexpr uint32_t kTimeAccountingAccuracy = 1000;
constexpr uint32_t kPulseAccuracy = 3600000;
constexpr int64_t kMaxAccuracy = 86400000;

uint32_t LineError(const char* format)
{
    LOG_Printf(format, (int)IOTXT_GetLineNumber());
    return 0;
}

// ---------------------------------------------------------------- typed values

// One evaluated source.
struct VALUE {
    uint32_t type;
    int64_t integer;
    double real;
    char* text;
};

VALUE Evaluate(const DATAOUT_SOURCE* source)
{
    VALUE v{IOTXT_TYPE_INT64, 0, 0.0, nullptr};
    DATAOUT_EvalSource(source, &v.type, &v.integer, &v.real, &v.text);
    return v;
}

bool IsText(const VALUE& v) { return v.type != IOTXT_TYPE_INT64 && v.type != IOTXT_TYPE_DOUBLE; }
double AsReal(const VALUE& v) { return v.type == IOTXT_TYPE_INT64 ? (double)v.integer : v.real; }

// The truth of a value: 0 false, 1 true, -1 none (a text).
int Truth(const VALUE& v)
{
    if (v.type == IOTXT_TYPE_INT64) return (uint32_t)v.integer != 0 ? 1 : 0;
    if (v.type == IOTXT_TYPE_DOUBLE) return MATH_ApproxEqual(v.real, 0.0) ? 0 : 1;
    return -1;
}

// Whether a value equals the value to be ignored: integers exactly, an
// integer and a real within 1e-10, two reals exactly; a text never.
bool Matches(const VALUE& v, const VALUE& ignore)
{
    if (IsText(v) || IsText(ignore)) return false;
    if (v.type == IOTXT_TYPE_INT64 && ignore.type == IOTXT_TYPE_INT64) return v.integer == ignore.integer;
    if (v.type == IOTXT_TYPE_DOUBLE && ignore.type == IOTXT_TYPE_DOUBLE) return v.real == ignore.real;
    return MATH_ApproxEqual(AsReal(v), AsReal(ignore));
}

void SetInteger(uint32_t* type, int64_t* integer, int64_t value)
{
    *type = IOTXT_TYPE_INT64;
    *integer = value;
}

void SetReal(uint32_t* type, double* real, double value)
{
    *type = IOTXT_TYPE_DOUBLE;
    *real = value;
}

// The first boundary of a node's interval grid from the clock: the next
// midnight for an interval of one day, else one interval from now.
TIME_MS FirstBoundary(uint64_t interval)
{
    TIME_MS c = g_simClock.clock;
    if (interval != kDayMs) return c + (TIME_MS)interval;
    SYSTEMTIME st{};
    TIME_MsToSystemTime(c, &st);
    st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
    TIME_MS r = c - TIME_SystemTimeToMs(&st);
    return r != 0 ? c - r + (TIME_MS)kDayMs : c + (TIME_MS)kDayMs;
}

// ---------------------------------------------------------------- block lines

enum ITEM_KIND : uint32_t {
    ITEM_SOURCE,
    ITEM_INTERVAL,    // duration, not 0
    ITEM_ACCURACY,    // duration, 1 ms to one day
    ITEM_WIDTH,       // duration, not negative
    ITEM_INTEGER,
    ITEM_REAL,
};

// One keyword line of a node block and where its item goes.
struct BLOCK_LINE {
    const char* word;
    ITEM_KIND kind;
    void* target;
    uint32_t* given;
    const char* noEquals;
    const char* badItem;
    const char* repeated;    // null: a repeated line replaces the earlier one
    uint32_t restUnchecked;  // the rest of the line is not checked
};

const char kIntervalNoEquals[] = "DATAOUT: očekávám rovnítko a určení intervalu výpočtu na řádku %d.\n";
const char kIntervalBad[] = "DATAOUT: chybné určení intervalu výpočtu na řádku %d.\n";
const char kIntervalRepeated[] = "DATAOUT: interval výpočtu nemůže být zadán vícekrát na řádku %d.\n";
const char kAccuracyNoEquals[] = "DATAOUT: očekávám rovnítko a určení rozlišení času na řádku %d.\n";
const char kAccuracyBad[] = "DATAOUT: chybné určení rozlišení času na řádku %d.\n";
const char kAccuracyRepeated[] = "DATAOUT: rozlišení času nemůže být zadáno vícekrát na řádku %d.\n";
const char kDefaultNoEquals[] = "DATAOUT: očekávám rovnítko a určení default hodnoty na řádku %d.\n";
const char kDefaultBad[] = "DATAOUT: chybné určení default hodnoty na řádku %d.\n";
const char kDefaultRepeated[] = "DATAOUT: default hodnota nemůže být zadána vícekrát na řádku %d.\n";
const char kFlagNoEquals[] = "DATAOUT: očekávám rovnítko a určení cílového příznaku na řádku %d.\n";
const char kFlagBad[] = "DATAOUT: chybné určení cílového příznaku na řádku %d.\n";
const char kFlagRepeated[] = "DATAOUT: zdroj cílového příznaku nemůže být zadán vícekrát na řádku %d.\n";
const char kLowNoEquals[] = "DATAOUT: očekávám rovnítko a určení zdroje spodní meze intervalu na řádku %d.\n";
const char kLowBad[] = "DATAOUT: chybné určení spodní meze intervalu na řádku %d.\n";
const char kLowRepeated[] = "DATAOUT: zdroj spodní meze intervalu nemůže být zadán vícekrát na řádku %d.\n";
const char kHighNoEquals[] = "DATAOUT: očekávám rovnítko a určení zdroje horní meze intervalu na řádku %d.\n";
const char kHighBad[] = "DATAOUT: chybné určení horní meze intervalu na řádku %d.\n";
const char kHighRepeated[] = "DATAOUT: zdroj horní meze intervalu nemůže být zadán vícekrát na řádku %d.\n";
const char kIntervalDefault[] = "DATAOUT: nebyl určen interval výpočtu, default=1 den.\n";

uint32_t ReadDurationItem(const BLOCK_LINE& line)
{
    int64_t ms = 0;
    if (!IOTXT_ReadDuration(&ms)) return LineError(line.badItem);
    switch (line.kind) {
    case ITEM_INTERVAL:
        if (ms <= 0) return LineError("DATAOUT: chybný interval výpočtu na řádku %d.\n");
        *static_cast<uint64_t*>(line.target) = (uint64_t)ms;
        return 1;
    case ITEM_ACCURACY:
        if (ms < 1 || ms > kMaxAccuracy) return LineError("DATAOUT: chybné rozlišení času na řádku %d.\n");
        *static_cast<uint32_t*>(line.target) = (uint32_t)ms;
        return 1;
    default:
        if (ms < 0) return LineError(line.badItem);
        *static_cast<uint64_t*>(line.target) = (uint64_t)ms;
        return 1;
    }
}

// A source item; a repeated line that may replace its predecessor frees it.
uint32_t ReadSourceItem(const BLOCK_LINE& line)
{
    DATAOUT_SOURCE source{};
    if (!DATAOUT_ParseSource(&source)) return 0;
    DATAOUT_SOURCE* target = static_cast<DATAOUT_SOURCE*>(line.target);
    DATAOUT_FreeSource(target);
    *target = source;
    return 1;
}

uint32_t ReadItem(const BLOCK_LINE& line)
{
    switch (line.kind) {
    case ITEM_SOURCE:
        return ReadSourceItem(line);
    case ITEM_INTEGER:
        if (!IOTXT_ReadInt64(static_cast<int64_t*>(line.target))) return LineError(line.badItem);
        return 1;
    case ITEM_REAL:
        if (!IOTXT_ReadDouble(static_cast<double*>(line.target))) return LineError(line.badItem);
        return 1;
    default:
        return ReadDurationItem(line);
    }
}

uint32_t ParseLine(const BLOCK_LINE& line)
{
    if (line.repeated && *line.given) return LineError(line.repeated);
    if (!IOTXT_MatchEquals()) return LineError(line.noEquals);
    if (!ReadItem(line)) return 0;
    *line.given = 1;
    if (line.restUnchecked || IOTXT_IsEndOfLine()) return 1;
    return LineError("DATAOUT: očekává se konec řádku na řádku %d.\n");
}

// The lines of a block up to and including "end"; 1, or 0 after one message.
uint32_t ParseBlock(const BLOCK_LINE* lines, int count)
{
    for (;;) {
        if (!IOTXT_NextLine()) return LineError("DATAOUT: přerušená definice výpočetního bodu na řádku %d.\n");
        if (IOTXT_MatchWord("end")) {
            if (IOTXT_IsEndOfLine()) return 1;
            return LineError("DATAOUT: za slovem 'end' se očekává konec řádku na řádku %d.\n");
        }
        const BLOCK_LINE* line = nullptr;
        for (int i = 0; i < count && !line; ++i)
            if (IOTXT_MatchWord(lines[i].word)) line = &lines[i];
        if (!line) return LineError("DATAOUT: neznámé slovo na řádku %d.\n");
        if (!ParseLine(*line)) return 0;
    }
}

template <class RECORD>
uint32_t StoreRecord(void** data, const RECORD& draft, MEMORY_TAG tag)
{
    MEMORY_SetTag(tag);
    RECORD* record = static_cast<RECORD*>(POOL_Alloc(sizeof(RECORD) + 1));
    if (!record) return LineError("DATAOUT: nedostatek paměti pro výpočetní bod na řádku %d.\n");
    *record = draft;
    *data = record;
    return 1;
}

// ---------------------------------------------------------------- comparisons

struct COMPARISON {
    DATAOUT_SOURCE value1;
    uint32_t ignore1Given;
    DATAOUT_SOURCE ignore1;
    DATAOUT_SOURCE value2;
    uint32_t ignore2Given;
    DATAOUT_SOURCE ignore2;
};

void FreeComparison(void* data)
{
    COMPARISON* r = static_cast<COMPARISON*>(data);
    DATAOUT_FreeSource(&r->value1);
    DATAOUT_FreeSource(&r->ignore1);
    DATAOUT_FreeSource(&r->value2);
    DATAOUT_FreeSource(&r->ignore2);
}

uint32_t ParseComparison(void** data)
{
    static const char noEquals[] = "DATAOUT: očekávám rovnítko a určení ignorované hodnoty na řádku %d.\n";
    static const char bad[] = "DATAOUT: chybné určení ignorované hodnoty na řádku %d.\n";
    COMPARISON d{};
    uint32_t value1Given = 0, value2Given = 0;
    const BLOCK_LINE lines[] = {
        {"value1", ITEM_SOURCE, &d.value1, &value1Given,
         "DATAOUT: očekávám rovnítko a určení prvního operandu na řádku %d.\n",
         "DATAOUT: chybné určení prvního operandu na řádku %d.\n",
         "DATAOUT: zdroj prvního operandu nemůže být zadán vícekrát na řádku %d.\n", 0},
        {"value2", ITEM_SOURCE, &d.value2, &value2Given,
         "DATAOUT: očekávám rovnítko a určení druhého operandu na řádku %d.\n",
         "DATAOUT: chybné určení druhého operandu na řádku %d.\n",
         "DATAOUT: zdroj druhého operandu nemůže být zadán vícekrát na řádku %d.\n", 0},
        {"ignore_value1", ITEM_SOURCE, &d.ignore1, &d.ignore1Given, noEquals, bad, nullptr, 1},
        {"ignore_value2", ITEM_SOURCE, &d.ignore2, &d.ignore2Given, noEquals, bad, nullptr, 1},
    };
    uint32_t ok = ParseBlock(lines, 4);
    if (ok && !value1Given) ok = LineError("DATAOUT: nebyl určen první operand výpočetního bodu na řádku %d.\n");
    if (ok && !value2Given) ok = LineError("DATAOUT: nebyl určen druhý operand výpočetního bodu na řádku %d.\n");
    if (ok) ok = StoreRecord(data, d, "DVHAN-DATA:BINARYdata");
    if (!ok) FreeComparison(&d);
    return ok;
}

uint32_t LinkComparison(void* data)
{
    COMPARISON* r = static_cast<COMPARISON*>(data);
    return DATAOUT_LinkSource(&r->value1) && DATAOUT_LinkSource(&r->value2) && DATAOUT_LinkSource(&r->ignore1) &&
           DATAOUT_LinkSource(&r->ignore2);
}

// One operand; *ignored when it equals its ignore value.
VALUE Operand(const DATAOUT_SOURCE* source, uint32_t ignoreGiven, const DATAOUT_SOURCE* ignore, bool* ignored)
{
    VALUE v = Evaluate(source);
    if (ignoreGiven && Matches(v, Evaluate(ignore))) *ignored = true;
    return v;
}

enum COMPARISON_KIND { LESS, LESS_OR_EQU, GREATER, GREATER_OR_EQU };

template <class T>
bool Holds(COMPARISON_KIND kind, T a, T b)
{
    switch (kind) {
    case LESS: return a < b;
    case LESS_OR_EQU: return a <= b;
    case GREATER: return a > b;
    default: return a >= b;
    }
}

template <COMPARISON_KIND KIND>
uint32_t CompareValue(void* data, uint32_t* type, int64_t* integer, double*, char**)
{
    const COMPARISON* r = static_cast<const COMPARISON*>(data);
    SetInteger(type, integer, 0);
    if (!r) return 0;
    bool ignored = false;
    VALUE a = Operand(&r->value1, r->ignore1Given, &r->ignore1, &ignored);
    VALUE b = Operand(&r->value2, r->ignore2Given, &r->ignore2, &ignored);
    if (ignored || IsText(a) || IsText(b)) return 1;
    bool holds = a.type == IOTXT_TYPE_INT64 && b.type == IOTXT_TYPE_INT64 ? Holds(KIND, a.integer, b.integer)
                                                                           : Holds(KIND, AsReal(a), AsReal(b));
    *integer = holds ? 1 : 0;
    return 1;
}

template <bool BOTH>
uint32_t LogicValue(void* data, uint32_t* type, int64_t* integer, double*, char**)
{
    const COMPARISON* r = static_cast<const COMPARISON*>(data);
    SetInteger(type, integer, 0);
    if (!r) return 0;
    int a = Truth(Evaluate(&r->value1));
    int b = Truth(Evaluate(&r->value2));
    if (a < 0 || b < 0) return 1;
    *integer = BOTH ? (a && b) : (a || b);
    return 1;
}

// ---------------------------------------------------------------- vector pair

struct VECTOR_PAIR {
    DATAOUT_SOURCE model[3];
    DATAOUT_SOURCE module[3];
};

void FreeVectorPair(void* data)
{
    VECTOR_PAIR* r = static_cast<VECTOR_PAIR*>(data);
    for (DATAOUT_SOURCE& s : r->model) DATAOUT_FreeSource(&s);
    for (DATAOUT_SOURCE& s : r->module) DATAOUT_FreeSource(&s);
}

uint32_t ParseVectorPair(void** data, MEMORY_TAG tag)
{
    static const char noEquals[] = "DATAOUT: očekávám rovnítko a určení hodnoty %d.\n";
    static const char bad[] = "DATAOUT: chybné určení datové hodnoty na řádku %d.\n";
    static const char* const words[6] = {"modelx", "modely", "modelz", "modulex", "moduley", "modulez"};
    static const char* const repeated[6] = {
        "DATAOUT: X-ová složka vektoru z modelu nemůže být zadána vícekrát na řádku %d.\n",
        "DATAOUT: Y-ová složka vektoru z modelu nemůže být zadána vícekrát na řádku %d.\n",
        "DATAOUT: Z-ová složka vektoru z modelu nemůže být zadána vícekrát na řádku %d.\n",
        "DATAOUT: X-ová složka vektoru modulu nemůže být zadána vícekrát na řádku %d.\n",
        "DATAOUT: Y-ová složka vektoru modulu nemůže být zadána vícekrát na řádku %d.\n",
        "DATAOUT: Z-ová složka vektoru modulu nemůže být zadána vícekrát na řádku %d.\n"};
    static const char* const missing[6] = {
        "DATAOUT: nebyla určena X-ová složka vektoru modelu na řádku %d.\n",
        "DATAOUT: nebyla určena Y-ová složka vektoru modelu na řádku %d.\n",
        "DATAOUT: nebyla určena Z-ová složka vektoru modelu na řádku %d.\n",
        "DATAOUT: nebyla určena X-ová složka vektoru modulu na řádku %d.\n",
        "DATAOUT: nebyla určena Y-ová složka vektoru modulu na řádku %d.\n",
        "DATAOUT: nebyla určena Z-ová složka vektoru modulu na řádku %d.\n"};
    VECTOR_PAIR d{};
    uint32_t given[6] = {};
    BLOCK_LINE lines[6];
    for (int i = 0; i < 6; ++i) {
        DATAOUT_SOURCE* target = i < 3 ? &d.model[i] : &d.module[i - 3];
        lines[i] = BLOCK_LINE{words[i], ITEM_SOURCE, target, &given[i], noEquals, bad, repeated[i], 0};
    }
    uint32_t ok = ParseBlock(lines, 6);
    for (int i = 0; ok && i < 6; ++i)
        if (!given[i]) ok = LineError(missing[i]);
    if (ok) ok = StoreRecord(data, d, tag);
    if (!ok) FreeVectorPair(&d);
    return ok;
}

uint32_t ParseDeviation(void** data) { return ParseVectorPair(data, "DVHAN-DATA:MODELMODULEVECTORDEVIATIONDEG"); }
uint32_t ParseMagnitudeDifference(void** data)
{
    return ParseVectorPair(data, "DVHAN-DATA:MODELMODULEVECTORMAGDIFERCENT");
}

uint32_t LinkVectorPair(void* data)
{
    VECTOR_PAIR* r = static_cast<VECTOR_PAIR*>(data);
    for (DATAOUT_SOURCE& s : r->model)
        if (!DATAOUT_LinkSource(&s)) return 0;
    for (DATAOUT_SOURCE& s : r->module)
        if (!DATAOUT_LinkSource(&s)) return 0;
    return 1;
}

// Both vectors as doubles; false when any component is a text.
bool EvaluatePair(const VECTOR_PAIR* r, VEC3* model, VEC3* module)
{
    double m[3], d[3];
    for (int i = 0; i < 3; ++i) {
        VALUE a = Evaluate(&r->model[i]);
        VALUE b = Evaluate(&r->module[i]);
        if (IsText(a) || IsText(b)) return false;
        m[i] = AsReal(a);
        d[i] = AsReal(b);
    }
    *model = VEC3{m[0], m[1], m[2]};
    *module = VEC3{d[0], d[1], d[2]};
    return true;
}

// The angle comes from the cross and dot products, so that equal vectors give
// exactly 0 where the arc cosine of their rounded cosine gives NaN or a
// small false angle.
uint32_t DeviationValue(void* data, uint32_t* type, int64_t*, double* real, char**)
{
    SetReal(type, real, 0.0);
    if (!data) return 0;
    VEC3 m{}, d{};
    if (!EvaluatePair(static_cast<const VECTOR_PAIR*>(data), &m, &d)) return 1;
    double lm = VEC_Length(&m), ld = VEC_Length(&d);
    if (MATH_ApproxEqual(lm, 0.0) || MATH_ApproxEqual(ld, 0.0)) return 1;
    VEC3 cross{};
    VEC_Cross(&m, &d, &cross);
    *real = atan2(VEC_Length(&cross), VEC_Dot(&m, &d)) * CONST_RAD_TO_DEG;
    return 1;
}

uint32_t MagnitudeDifferenceValue(void* data, uint32_t* type, int64_t*, double* real, char**)
{
    SetReal(type, real, 0.0);
    if (!data) return 0;
    VEC3 m{}, d{};
    if (!EvaluatePair(static_cast<const VECTOR_PAIR*>(data), &m, &d)) return 1;
    double lm = VEC_Length(&m);
    if (!MATH_ApproxEqual(lm, 0.0)) *real = (VEC_Length(&d) - lm) / lm * 100.0;
    return 1;
}

// ---------------------------------------------------------------- time accounting

struct TIME_ACCOUNTING {
    DATAOUT_SOURCE flag;
    int64_t defaultValue;
    uint64_t interval;
    uint32_t accuracy;
    uint32_t firstSample;
    TIME_MS lastSample;
    TIME_MS intervalEnd;
    uint64_t accumulated;
    int64_t output;
};

void FreeTimeAccounting(void* data) { DATAOUT_FreeSource(&static_cast<TIME_ACCOUNTING*>(data)->flag); }

uint32_t ParseTimeAccounting(void** data)
{
    TIME_ACCOUNTING d{};
    uint32_t flagGiven = 0, intervalGiven = 0, accuracyGiven = 0, defaultGiven = 0;
    const BLOCK_LINE lines[] = {
        {"value", ITEM_SOURCE, &d.flag, &flagGiven, kFlagNoEquals, kFlagBad, kFlagRepeated, 0},
        {"interval", ITEM_INTERVAL, &d.interval, &intervalGiven, kIntervalNoEquals, kIntervalBad, kIntervalRepeated, 0},
        {"accuracy", ITEM_ACCURACY, &d.accuracy, &accuracyGiven, kAccuracyNoEquals, kAccuracyBad, kAccuracyRepeated, 0},
        {"default_value", ITEM_INTEGER, &d.defaultValue, &defaultGiven, kDefaultNoEquals, kDefaultBad,
         kDefaultRepeated, 0},
    };
    uint32_t ok = ParseBlock(lines, 4);
    if (ok && !flagGiven) ok = LineError("DATAOUT: nebyl určen zdroj cílového příznaku na řádku %d.\n");
    if (ok && !intervalGiven) {
        LOG_Printf(kIntervalDefault);
        d.interval = kDayMs;
    }
    if (ok && !accuracyGiven) {
        LOG_Printf("DATAOUT: nebylo určeno časové rozlišení výpočtu, default=1 sec.\n");
        d.accuracy = kTimeAccountingAccuracy;
    }
    if (ok) ok = StoreRecord(data, d, "DVHAN-DATA:TimeACC");
    if (!ok) FreeTimeAccounting(&d);
    return ok;
}

uint32_t LinkTimeAccounting(void* data)
{
    TIME_ACCOUNTING* r = static_cast<TIME_ACCOUNTING*>(data);
    if (!DATAOUT_LinkSource(&r->flag)) return 0;
    r->firstSample = 1;
    r->lastSample = g_simClock.clock;
    r->intervalEnd = FirstBoundary(r->interval);
    r->accumulated = 0;
    r->output = r->defaultValue;
    return 1;
}

// A true sample counts the time since the last sample. A sample past the
// interval's end counts only up to the end in the interval that ends, and
// carries the time past it into the next one, so no time counts twice.
void UpdateTimeAccounting(void* data)
{
    TIME_ACCOUNTING* r = static_cast<TIME_ACCOUNTING*>(data);
    TIME_MS clock = g_simClock.clock;
    uint64_t carried = 0;
    bool sampled = false;
    if (r->firstSample || clock - r->lastSample >= (TIME_MS)r->accuracy) {
        r->firstSample = 0;
        sampled = true;
        if (Truth(Evaluate(&r->flag)) == 1) {
            bool crossing = clock > r->intervalEnd && r->lastSample < r->intervalEnd;
            TIME_MS counted = crossing ? r->intervalEnd : clock;
            if (counted > r->lastSample) r->accumulated += (uint64_t)(counted - r->lastSample);
            if (crossing) carried = (uint64_t)(clock - r->intervalEnd);
        }
        r->lastSample = clock;
    }
    if (clock < r->intervalEnd) return;
    r->output = (int64_t)(r->accumulated / 1000);
    r->accumulated = carried;
    if (!sampled) r->lastSample = r->intervalEnd;
    r->intervalEnd += (TIME_MS)r->interval;
}

uint32_t TimeAccountingValue(void* data, uint32_t* type, int64_t* integer, double*, char**)
{
    SetInteger(type, integer, data ? static_cast<const TIME_ACCOUNTING*>(data)->output : 0);
    return data != nullptr;
}

uint32_t TimeAccountingAccuracy(void* data) { return static_cast<const TIME_ACCOUNTING*>(data)->accuracy; }

// ---------------------------------------------------------------- count in interval

struct COUNT_IN_INTERVAL {
    DATAOUT_SOURCE value;
    DATAOUT_SOURCE low;
    DATAOUT_SOURCE high;
    int64_t defaultValue;
    uint64_t interval;
    TIME_MS nextSample;
    int64_t count;
};

void FreeCountInInterval(void* data)
{
    COUNT_IN_INTERVAL* r = static_cast<COUNT_IN_INTERVAL*>(data);
    DATAOUT_FreeSource(&r->value);
    DATAOUT_FreeSource(&r->low);
    DATAOUT_FreeSource(&r->high);
}

uint32_t ParseCountInInterval(void** data)
{
    COUNT_IN_INTERVAL d{};
    uint32_t valueGiven = 0, lowGiven = 0, highGiven = 0, intervalGiven = 0, defaultGiven = 0;
    const BLOCK_LINE lines[] = {
        {"value", ITEM_SOURCE, &d.value, &valueGiven, kFlagNoEquals, kFlagBad, kFlagRepeated, 0},
        {"low_interval", ITEM_SOURCE, &d.low, &lowGiven, kLowNoEquals, kLowBad, kLowRepeated, 0},
        {"high_interval", ITEM_SOURCE, &d.high, &highGiven, kHighNoEquals, kHighBad, kHighRepeated, 0},
        {"interval", ITEM_INTERVAL, &d.interval, &intervalGiven, kIntervalNoEquals, kIntervalBad, kIntervalRepeated, 0},
        {"default_value", ITEM_INTEGER, &d.defaultValue, &defaultGiven, kDefaultNoEquals, kDefaultBad,
         kDefaultRepeated, 0},
    };
    uint32_t ok = ParseBlock(lines, 5);
    if (ok && !valueGiven) ok = LineError("DATAOUT: nebyla určena cílová hodnota na řádku %d.\n");
    if (ok && !lowGiven) ok = LineError("DATAOUT: nebyla určena spodní mez intervalu na řádku %d.\n");
    if (ok && !highGiven) ok = LineError("DATAOUT: nebyla určena horní mez intervalu na řádku %d.\n");
    if (ok && !intervalGiven) {
        LOG_Printf(kIntervalDefault);
        d.interval = kDayMs;
    }
    if (ok) ok = StoreRecord(data, d, "DVHAN-DATA:COUNTINTIME");
    if (!ok) FreeCountInInterval(&d);
    return ok;
}

uint32_t LinkCountInInterval(void* data)
{
    COUNT_IN_INTERVAL* r = static_cast<COUNT_IN_INTERVAL*>(data);
    if (!DATAOUT_LinkSource(&r->value) || !DATAOUT_LinkSource(&r->low) || !DATAOUT_LinkSource(&r->high)) return 0;
    r->nextSample = FirstBoundary(r->interval);
    r->count = 0;
    return 1;
}

void UpdateCountInInterval(void* data)
{
    COUNT_IN_INTERVAL* r = static_cast<COUNT_IN_INTERVAL*>(data);
    if (g_simClock.clock < r->nextSample) return;
    r->nextSample += (TIME_MS)r->interval;
    VALUE v = Evaluate(&r->value), lo = Evaluate(&r->low), hi = Evaluate(&r->high);
    if (IsText(v) || IsText(lo) || IsText(hi)) return;
    bool inside = v.type == IOTXT_TYPE_INT64 && lo.type == IOTXT_TYPE_INT64 && hi.type == IOTXT_TYPE_INT64
                      ? lo.integer <= v.integer && v.integer <= hi.integer
                      : AsReal(v) >= AsReal(lo) && AsReal(v) <= AsReal(hi);
    if (inside) ++r->count;
}

uint32_t CountInIntervalValue(void* data, uint32_t* type, int64_t* integer, double*, char**)
{
    SetInteger(type, integer, data ? static_cast<const COUNT_IN_INTERVAL*>(data)->count : 0);
    return data != nullptr;
}

// ---------------------------------------------------------------- pulse count

struct PULSE_COUNT {
    DATAOUT_SOURCE flag;
    uint64_t lowestWidth;
    uint64_t highestWidth;
    int64_t defaultValue;
    uint64_t interval;
    TIME_MS intervalEnd;
    int64_t count;
    int64_t output;
    uint32_t accuracy;
    uint32_t inPulse;
    TIME_MS pulseStart;
    uint32_t live;
};

void FreePulseCount(void* data) { DATAOUT_FreeSource(&static_cast<PULSE_COUNT*>(data)->flag); }

uint32_t ParsePulseCount(void** data)
{
    PULSE_COUNT d{};
    uint32_t flagGiven = 0, lowGiven = 0, highGiven = 0, intervalGiven = 0, accuracyGiven = 0, defaultGiven = 0;
    const BLOCK_LINE lines[] = {
        {"value", ITEM_SOURCE, &d.flag, &flagGiven, kFlagNoEquals, kFlagBad, kFlagRepeated, 0},
        {"low_interval", ITEM_WIDTH, &d.lowestWidth, &lowGiven, kLowNoEquals, kLowBad, kLowRepeated, 0},
        {"high_interval", ITEM_WIDTH, &d.highestWidth, &highGiven, kHighNoEquals, kHighBad, kHighRepeated, 0},
        {"interval", ITEM_INTERVAL, &d.interval, &intervalGiven, kIntervalNoEquals, kIntervalBad, kIntervalRepeated, 0},
        {"accuracy", ITEM_ACCURACY, &d.accuracy, &accuracyGiven, kAccuracyNoEquals, kAccuracyBad, kAccuracyRepeated, 0},
        {"default_value", ITEM_INTEGER, &d.defaultValue, &defaultGiven, kDefaultNoEquals, kDefaultBad,
         kDefaultRepeated, 0},
    };
    uint32_t ok = ParseBlock(lines, 6);
    if (ok && !flagGiven) ok = LineError("DATAOUT: nebyla určena cílová hodnota na řádku %d.\n");
    if (ok && !lowGiven) ok = LineError("DATAOUT: nebyla určena spodní mez intervalu na řádku %d.\n");
    if (ok && !highGiven) ok = LineError("DATAOUT: nebyla určena horní mez intervalu na řádku %d.\n");
    if (ok && !intervalGiven) {
        LOG_Printf(kIntervalDefault);
        d.interval = kDayMs;
    }
    if (ok && !accuracyGiven) d.accuracy = kPulseAccuracy;
    if (ok) ok = StoreRecord(data, d, "DVHAN-DATA:COUNTPULSEWIDTH");
    if (!ok) FreePulseCount(&d);
    return ok;
}

uint32_t LinkPulseCount(void* data)
{
    PULSE_COUNT* r = static_cast<PULSE_COUNT*>(data);
    if (!DATAOUT_LinkSource(&r->flag)) return 0;
    r->intervalEnd = FirstBoundary(r->interval);
    r->count = 0;
    r->output = r->defaultValue;
    r->inPulse = 0;
    r->pulseStart = 0;
    r->live = 1;
    return 1;
}

void UpdatePulseCount(void* data)
{
    PULSE_COUNT* r = static_cast<PULSE_COUNT*>(data);
    TIME_MS clock = g_simClock.clock;
    if (clock >= r->intervalEnd) {
        r->intervalEnd += (TIME_MS)r->interval;
        r->output = r->count;
        r->count = 0;
        r->live = 0;
    }
    int flag = Truth(Evaluate(&r->flag));
    if (flag < 0) return;
    if (!r->inPulse && flag) {
        r->inPulse = 1;
        r->pulseStart = clock;
    } else if (r->inPulse && !flag) {
        r->inPulse = 0;
        uint64_t width = (uint64_t)(clock - r->pulseStart);
        if (r->lowestWidth <= width && width <= r->highestWidth) ++r->count;
    }
    if (r->live) r->output = r->count;
}

uint32_t PulseCountValue(void* data, uint32_t* type, int64_t* integer, double*, char**)
{
    SetInteger(type, integer, data ? static_cast<const PULSE_COUNT*>(data)->output : 0);
    return data != nullptr;
}

uint32_t PulseCountAccuracy(void* data) { return static_cast<const PULSE_COUNT*>(data)->accuracy; }

// ---------------------------------------------------------------- extremes

struct EXTREME {
    DATAOUT_SOURCE value;
    uint32_t targetGiven;
    double defaultTarget;
    double extreme;
    double defaultValue;
    double output;
};

void FreeExtreme(void* data) { DATAOUT_FreeSource(&static_cast<EXTREME*>(data)->value); }

uint32_t ParseExtreme(void** data, MEMORY_TAG tag)
{
    EXTREME d{};
    uint32_t valueGiven = 0, defaultGiven = 0;
    const BLOCK_LINE lines[] = {
        {"value", ITEM_SOURCE, &d.value, &valueGiven,
         "DATAOUT: očekávám rovnítko a určení cílové hodnoty na řádku %d.\n",
         "DATAOUT: chybné určení cílové hodnoty na řádku %d.\n",
         "DATAOUT: zdroj cílové hodnoty nemůže být zadán vícekrát na řádku %d.\n", 0},
        {"default_value", ITEM_REAL, &d.defaultValue, &defaultGiven, kDefaultNoEquals, kDefaultBad, kDefaultRepeated,
         0},
        {"default_target", ITEM_REAL, &d.defaultTarget, &d.targetGiven,
         "DATAOUT: očekávám rovnítko a určení default hodnoty cíle na řádku %d.\n",
         "DATAOUT: chybné určení default hodnoty cíle na řádku %d.\n",
         "DATAOUT: default hodnota cíle nemůže být zadána vícekrát na řádku %d.\n", 0},
    };
    uint32_t ok = ParseBlock(lines, 3);
    if (ok && !valueGiven) ok = LineError("DATAOUT: nebyl určen první operand výpočetního bodu na řádku %d.\n");
    if (ok) ok = StoreRecord(data, d, tag);
    if (!ok) FreeExtreme(&d);
    return ok;
}

uint32_t ParseMinimum(void** data) { return ParseExtreme(data, "DVHAN-DATA:Minimum"); }
uint32_t ParseMaximum(void** data) { return ParseExtreme(data, "DVHAN-DATA:Maximum"); }

template <bool MAXIMUM>
uint32_t LinkExtreme(void* data)
{
    EXTREME* r = static_cast<EXTREME*>(data);
    if (!DATAOUT_LinkSource(&r->value)) return 0;
    r->extreme = MAXIMUM ? -1e300 : 1e300;
    r->output = r->defaultValue;
    return 1;
}

template <bool MAXIMUM>
void UpdateExtreme(void* data)
{
    EXTREME* r = static_cast<EXTREME*>(data);
    VALUE v = Evaluate(&r->value);
    if (IsText(v)) return;
    double sample = AsReal(v);
    if (r->targetGiven && MATH_ApproxEqual(sample, r->defaultTarget)) return;
    if (MAXIMUM ? sample > r->extreme : sample < r->extreme) {
        r->extreme = sample;
        r->output = sample;
    }
}

uint32_t ExtremeValue(void* data, uint32_t* type, int64_t*, double* real, char**)
{
    SetReal(type, real, data ? static_cast<const EXTREME*>(data)->output : 0.0);
    return data != nullptr;
}

}  // namespace

const DVHAN_ROW DVHAN_Table[] = {
    {"LESS", ParseComparison, LinkComparison, FreeComparison, CompareValue<LESS>, nullptr, nullptr},
    {"LESS_OR_EQU", ParseComparison, LinkComparison, FreeComparison, CompareValue<LESS_OR_EQU>, nullptr, nullptr},
    {"GREATER", ParseComparison, LinkComparison, FreeComparison, CompareValue<GREATER>, nullptr, nullptr},
    {"GREATER_OR_EQU", ParseComparison, LinkComparison, FreeComparison, CompareValue<GREATER_OR_EQU>, nullptr,
     nullptr},
    {"AND", ParseComparison, LinkComparison, FreeComparison, LogicValue<true>, nullptr, nullptr},
    {"OR", ParseComparison, LinkComparison, FreeComparison, LogicValue<false>, nullptr, nullptr},
    {"MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG", ParseDeviation, LinkVectorPair, FreeVectorPair, DeviationValue,
     nullptr, nullptr},
    {"MODULE_VECTOR_MAGNITUDE_DIFFERENCE_FROM_MODEL_PERCENT", ParseMagnitudeDifference, LinkVectorPair,
     FreeVectorPair, MagnitudeDifferenceValue, nullptr, nullptr},
    {"TIME_ACCOUNTING", ParseTimeAccounting, LinkTimeAccounting, FreeTimeAccounting, TimeAccountingValue,
     TimeAccountingAccuracy, UpdateTimeAccounting},
    {"COUNT_IN_INTERVAL", ParseCountInInterval, LinkCountInInterval, FreeCountInInterval, CountInIntervalValue,
     nullptr, UpdateCountInInterval},
    {"COUNT_PULSE_WIDTH", ParsePulseCount, LinkPulseCount, FreePulseCount, PulseCountValue, PulseCountAccuracy,
     UpdatePulseCount},
    {"MINIMUM", ParseMinimum, LinkExtreme<false>, FreeExtreme, ExtremeValue, nullptr, UpdateExtreme<false>},
    {"MAXIMUM", ParseMaximum, LinkExtreme<true>, FreeExtreme, ExtremeValue, nullptr, UpdateExtreme<true>},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

// DATAOUT configuration: reads "DataOutput.cfg" into data files with their
// columns and into data-value nodes, and evaluates the sources of both.
#include "dataout/dataout.h"
#include <cstring>
#include <strings.h>
#include "dataout/dohan.h"
#include "dataout/dvhan.h"
#include "foundation/time.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

DATAOUT_STATE g_dataout;

// Writes one configuration message naming the reader's current line; always 0.
static uint32_t LineError(const char* format)
{
    LOG_Printf(format, (int)IOTXT_GetLineNumber());
    return 0;
}

static void FreeText(char** text)
{
    if (*text) POOL_Free(*text);
    *text = nullptr;
}

static char* ReadQuotedTagged(MEMORY_TAG tag)
{
    MEMORY_SetTag(tag);
    return IOTXT_ReadQuotedString();
}

static DATAOUT_PARAM_VALUE s_paramValue = nullptr;
static DATAOUT_PARAM_TEXT s_paramText = nullptr;

void DATAOUT_SetParamLookups(DATAOUT_PARAM_VALUE value, DATAOUT_PARAM_TEXT text)
{
    s_paramValue = value;
    s_paramText = text;
}

uint32_t DATAOUT_ParamValue(const char* name, double* value)
{
    *value = 0.0;
    return s_paramValue ? s_paramValue(name, value) : 0;
}

const char* DATAOUT_ParamText(const char* name)
{
    return s_paramText ? s_paramText(name) : nullptr;
}

void DATAOUT_Init()
{
    g_dataout = DATAOUT_STATE{};
    MEMORY_SetTag("DATAOUT:out-buffer");
    g_dataout.rowBuffer = (char*)POOL_Alloc(DATAOUT_ROW_BUFFER_SIZE);
    if (!g_dataout.rowBuffer) LOG_Printf("DATAOUT: nedostatek paměti.\n");
    else g_dataout.rowBuffer[0] = 0;
}

void DATAOUT_Done()
{
    DATAOUT_FreeFileList(g_dataout.firstFile);
    DATAOUT_FreeNodeList(g_dataout.firstNode);
    if (g_dataout.rowBuffer) POOL_Free(g_dataout.rowBuffer);
    g_dataout = DATAOUT_STATE{};
}

uint32_t DATAOUT_LoadConfig()
{
    return DATAOUT_LoadConfigFile("DataOutput.cfg");
}

static uint32_t ReadBlocks()
{
    while (IOTXT_NextLine()) {
        if (IOTXT_MatchWord("datafile")) {
            if (!DATAOUT_ParseDataFile()) return 0;
        } else if (IOTXT_MatchWord("datavalue")) {
            if (!DATAOUT_ParseDataValue()) return 0;
        } else {
            return LineError("DATAOUT: neznámé slovo na řádku %d.\n");
        }
    }
    return 1;
}

// A results file is named and emptied once per program: its rows of all runs
// go into the one file under its header.
static uint32_t PrepareResultsFiles()
{
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next) {
        if (!file->results || file->type != DATAOUT_FILE_CSV) continue;
        DATAOUT_ReleasePipe(file);
        FreeText(&file->runName);
        file->runName = PreprocessFileName(file->name);
        if (!file->runName) return 0;
        file->lossReported = 0;
        DATAOUT_WriteHeader(file);
    }
    return 1;
}

uint32_t DATAOUT_LoadConfigFile(const char* fileName)
{
    if (!IOTXT_OpenFile(fileName)) return 1;
    uint32_t ok = ReadBlocks();
    IOTXT_CloseFile();
    if (!ok) return 0;
    return PrepareResultsFiles();
}

// ---------------------------------------------------------------- data files

// What a "datafile" block has said so far.
struct FILE_DRAFT {
    char* name;
    uint32_t results;
    uint32_t intervalGiven;
    uint64_t interval;
    TIME_MS start;
    TIME_MS end;
    uint64_t timeUnit;
    DATAOUT_VALUE* firstColumn;
    DATAOUT_VALUE* lastColumn;
};

static uint32_t ParseFileHeadLine(FILE_DRAFT* draft)
{
    if (!IOTXT_MatchWord("CSV")) return LineError("DATAOUT: neznámý typ souboru na řádku %d.\n");
    if (!IOTXT_MatchComma())
        return LineError("DATAOUT: za typem souboru se očekává název souboru na řádku %d.\n");
    draft->name = ReadQuotedTagged("DATAOUT-datafile-name");
    if (!draft->name) return LineError("DATAOUT: za typem souboru se očekává název souboru na řádku %d.\n");
    if (!IOTXT_IsEndOfLine()) return LineError("DATAOUT: očekává se konec řádku na řádku %d.\n");
    return 1;
}

static uint32_t ParseResultsLine(FILE_DRAFT* draft)
{
    if (!IOTXT_IsEndOfLine()) return LineError("DATAOUT: očekává se konec řádku na řádku %d.\n");
    if (draft->intervalGiven)
        return LineError("DATAOUT: je-li určen interval ukládání, nemůže být soubor určen jako výsledkový "
                         "na řádku %d.\n");
    if (draft->results) return LineError("DATAOUT: soubor už byl určen jako výsledkový na řádku %d.\n");
    draft->results = 1;
    return 1;
}

// "= <duration>" up to the end of the line.
static uint32_t ParseDurationLine(uint64_t* ms, const char* noEquals, const char* badValue)
{
    int64_t value = 0;
    if (!IOTXT_MatchEquals()) return LineError(noEquals);
    if (!IOTXT_ReadDuration(&value) || value < 0) return LineError(badValue);
    if (!IOTXT_IsEndOfLine()) return LineError("DATAOUT: očekává se konec řádku na řádku %d.\n");
    *ms = (uint64_t)value;
    return 1;
}

static uint32_t ParseIntervalLine(FILE_DRAFT* draft)
{
    if (draft->results)
        return LineError("DATAOUT: soubor je určen jako výsledkový, interval ukládání nemá význam "
                         "na řádku %d.\n");
    if (!ParseDurationLine(&draft->interval,
                           "DATAOUT: očekávám rovnítko a určení intervalu ukládání na řádku %d.\n",
                           "DATAOUT: chybné určení intervalu ukládání na řádku %d.\n"))
        return 0;
    draft->intervalGiven = 1;
    return 1;
}

// A unit of 0 ms would make the relative time column a division by zero.
static uint32_t ParseTimeUnitLine(FILE_DRAFT* draft)
{
    static const char badUnit[] = "DATAOUT: chybné určení jednotky času na řádku %d.\n";
    if (draft->results)
        return LineError("DATAOUT: soubor je určen jako výsledkový, jednotka času nemá význam na řádku %d.\n");
    uint64_t unit = 0;
    if (!ParseDurationLine(&unit, "DATAOUT: očekávám rovnítko a určení jednotky času na řádku %d.\n", badUnit))
        return 0;
    if (unit == 0) return LineError(badUnit);
    draft->timeUnit = unit;
    return 1;
}

// "= TIME_FROM_START(<duration>)" up to the end of the line.
static uint32_t ParseTimeLine(TIME_MS* time, const char* noEquals, const char* badValue)
{
    int64_t value = 0;
    if (!IOTXT_MatchEquals()) return LineError(noEquals);
    if (!IOTXT_ReadTimeFromStart(&value)) return LineError(badValue);
    if (!IOTXT_IsEndOfLine()) return LineError("DATAOUT: očekává se konec řádku na řádku %d.\n");
    *time = value;
    return 1;
}

static uint32_t ParseColumnLine(FILE_DRAFT* draft)
{
    if (!IOTXT_IsEndOfLine())
        return LineError("DATAOUT: za slovem 'value' se očekává konec řádku na řádku %d.\n");
    DATAOUT_VALUE* column = DATAOUT_ParseValue();
    if (!column) return 0;
    if (draft->lastColumn) draft->lastColumn->next = column;
    else draft->firstColumn = column;
    draft->lastColumn = column;
    return 1;
}

// One line of a "datafile" block; *ended is set at its "end" line.
static uint32_t ParseFileLine(FILE_DRAFT* draft, uint32_t* ended)
{
    if (IOTXT_MatchWord("results")) return ParseResultsLine(draft);
    if (IOTXT_MatchWord("interval")) return ParseIntervalLine(draft);
    if (IOTXT_MatchWord("timeunit")) return ParseTimeUnitLine(draft);
    if (IOTXT_MatchWord("starttime"))
        return ParseTimeLine(&draft->start,
                             "DATAOUT: očekávám rovnítko a určení startovního času ukládání na řádku %d.\n",
                             "DATAOUT: chybné určení startovního času ukládání na řádku %d.\n");
    if (IOTXT_MatchWord("endtime"))
        return ParseTimeLine(&draft->end,
                             "DATAOUT: očekávám rovnítko a určení koncového času ukládání na řádku %d.\n",
                             "DATAOUT: chybné určení koncového času ukládání na řádku %d.\n");
    if (IOTXT_MatchWord("value")) return ParseColumnLine(draft);
    if (IOTXT_MatchWord("end")) {
        if (!IOTXT_IsEndOfLine())
            return LineError("DATAOUT: za slovem 'end' se očekává konec řádku na řádku %d.\n");
        *ended = 1;
        return 1;
    }
    return LineError("DATAOUT: neznámé slovo v definici datového souboru na řádku %d.\n");
}

// At "end": an interval file needs an interval that is at least 1 ms and, when
// shorter than 86400 ms, divides a day, so that its rows fall on a daily grid.
static uint32_t CheckFileTiming(FILE_DRAFT* draft)
{
    if (!draft->intervalGiven && !draft->results)
        return LineError("DATAOUT: nebyla určena perioda datového souboru, ani nebyl určen jako výsledkový "
                         "na řádku %d.\n");
    if (draft->results) {
        draft->interval = DATAOUT_RESULTS_INTERVAL;
        return 1;
    }
    if (draft->interval < 1 || (draft->interval < 86400 && DATAOUT_DAY_MS % draft->interval != 0))
        return LineError("DATAOUT: perioda datového souboru je chybná na řádku %d.\n");
    return 1;
}

static uint32_t AppendFile(FILE_DRAFT* draft)
{
    MEMORY_SetTag("DATAOUT:dataout-file");
    DATAOUT_FILE* file = (DATAOUT_FILE*)POOL_Alloc(sizeof(DATAOUT_FILE) + 1);
    if (!file) {
        LOG_Printf("DATAOUT: nedostatek paměti.\n");
        return 0;
    }
    *file = DATAOUT_FILE{};
    file->type = DATAOUT_FILE_CSV;
    file->name = draft->name;
    file->interval = draft->interval;
    file->results = draft->results;
    file->start = draft->start;
    file->end = draft->end;
    file->timeUnit = draft->timeUnit;
    file->columns = draft->firstColumn;
    file->flushInterval = DATAOUT_FLUSH_INTERVAL;
    if (g_dataout.lastFile) g_dataout.lastFile->next = file;
    else g_dataout.firstFile = file;
    g_dataout.lastFile = file;
    return 1;
}

static uint32_t ParseFileBlock(FILE_DRAFT* draft)
{
    if (!ParseFileHeadLine(draft)) return 0;
    uint32_t ended = 0;
    while (!ended) {
        if (!IOTXT_NextLine())
            return LineError("DATAOUT: přerušená definice datového souboru na řádku %d.\n");
        if (!ParseFileLine(draft, &ended)) return 0;
    }
    return CheckFileTiming(draft) && AppendFile(draft);
}

uint32_t DATAOUT_ParseDataFile()
{
    FILE_DRAFT draft{};
    draft.start = g_simClock.clock;
    draft.end = DATAOUT_NEVER;
    draft.timeUnit = DATAOUT_DAY_MS;
    if (ParseFileBlock(&draft)) return 1;
    DATAOUT_FreeValueList(draft.firstColumn);
    FreeText(&draft.name);
    return 0;
}

// ---------------------------------------------------------------- columns

// What a "value" block has said so far.
struct VALUE_DRAFT {
    char* name;
    uint32_t typeGiven;
    uint16_t width;
    uint16_t decimals;
    uint32_t exp;
    uint32_t sourceGiven;
    DATAOUT_SOURCE source;
};

static uint32_t ParseNameLine(VALUE_DRAFT* draft)
{
    if (!IOTXT_MatchEquals()) return LineError("DATAOUT: očekávám rovnítko a jméno datové hodnoty na řádku %d.\n");
    char* name = ReadQuotedTagged("DATAOUT-datavalue-name");
    if (!name) return LineError("DATAOUT: chyba určení jména datové hodnoty na řádku %d.\n");
    FreeText(&draft->name);
    draft->name = name;
    if (!IOTXT_IsEndOfLine()) return LineError("DATAOUT: očekává se konec řádku na řádku %d.\n");
    return 1;
}

static uint32_t ReadFormatNumber(uint16_t* out, const char* noComma, const char* badValue)
{
    int64_t value = -1;
    if (!IOTXT_MatchComma()) return LineError(noComma);
    if (!IOTXT_ReadInt64(&value) || value < 0 || value > 1000) return LineError(badValue);
    *out = (uint16_t)value;
    return 1;
}

static uint32_t ParseTypeLine(VALUE_DRAFT* draft)
{
    if (!IOTXT_MatchEquals()) return LineError("DATAOUT: očekávám rovnítko a definici typu na řádku %d.\n");
    if (!IOTXT_MatchWord("FLOAT")) return LineError("DATAOUT: neimplementovany typ na řádku %d.\n");
    if (!ReadFormatNumber(&draft->width, "DATAOUT: očekávám čárku a určení délky FLOAT čísla na řádku %d.\n",
                          "DATAOUT: chybné určení délky FLOAT čísla na řádku %d.\n"))
        return 0;
    if (!ReadFormatNumber(&draft->decimals,
                          "DATAOUT: očekávám čárku a počet desetinných míst FLOAT čísla na řádku %d.\n",
                          "DATAOUT: chybné určení počtu desetinných míst FLOAT čísla na řádku %d.\n"))
        return 0;
    draft->exp = 0;
    while (!IOTXT_IsEndOfLine()) {
        if (!IOTXT_MatchComma()) return LineError("DATAOUT: očekává se konec řádku na řádku %d.\n");
        if (!IOTXT_MatchWord("EXP")) return LineError("DATAOUT: neznámý přepínač datové hodnoty na řádku %d.\n");
        draft->exp = 1;
    }
    draft->typeGiven = 1;
    return 1;
}

static uint32_t ParseDataLine(VALUE_DRAFT* draft)
{
    if (!IOTXT_MatchEquals()) return LineError("DATAOUT: očekávám rovnítko a definici typu na řádku %d.\n");
    DATAOUT_SOURCE source{};
    if (!DATAOUT_ParseSource(&source)) return 0;
    DATAOUT_FreeSource(&draft->source);
    draft->source = source;
    draft->sourceGiven = 1;
    if (!IOTXT_IsEndOfLine()) return LineError("DATAOUT: očekává se konec řádku na řádku %d.\n");
    return 1;
}

static uint32_t CheckValueComplete(const VALUE_DRAFT* draft)
{
    if (!IOTXT_IsEndOfLine()) return LineError("DATAOUT: za slovem 'end' se očekává konec řádku na řádku %d.\n");
    if (!draft->name) return LineError("DATAOUT: nebylo určeno jméno datové hodnoty na řádku %d.\n");
    if (!draft->typeGiven) return LineError("DATAOUT: nebyl určen typ datové hodnoty na řádku %d.\n");
    if (!draft->sourceGiven) return LineError("DATAOUT: nebyl určen zdroj datové hodnoty na řádku %d.\n");
    return 1;
}

static DATAOUT_VALUE* MakeColumn(VALUE_DRAFT* draft)
{
    MEMORY_SetTag("DATAOUT:dataout-value");
    DATAOUT_VALUE* column = (DATAOUT_VALUE*)POOL_Alloc(sizeof(DATAOUT_VALUE) + 1);
    if (!column) {
        LOG_Printf("DATAOUT: nedostatek paměti.\n");
        return nullptr;
    }
    *column = DATAOUT_VALUE{};
    column->name = draft->name;
    column->type = DATAOUT_TYPE_FLOAT;
    column->width = draft->width;
    column->decimals = draft->decimals;
    column->exp = draft->exp;
    column->source = draft->source;
    return column;
}

// One line of a "value" block: 1 and *column at its "end" line, 1 for any
// other good line, 0 after a message.
static uint32_t ParseValueLine(VALUE_DRAFT* draft, DATAOUT_VALUE** column)
{
    if (IOTXT_MatchWord("name")) return ParseNameLine(draft);
    if (IOTXT_MatchWord("type")) return ParseTypeLine(draft);
    if (IOTXT_MatchWord("data")) return ParseDataLine(draft);
    if (IOTXT_MatchWord("end")) {
        if (!CheckValueComplete(draft)) return 0;
        *column = MakeColumn(draft);
        return *column != nullptr;
    }
    return LineError("DATAOUT: neznámé slovo v definici datové hodnoty na řádku %d.\n");
}

DATAOUT_VALUE* DATAOUT_ParseValue()
{
    VALUE_DRAFT draft{};
    DATAOUT_VALUE* column = nullptr;
    while (!column) {
        uint32_t ok = IOTXT_NextLine();
        if (!ok) LineError("DATAOUT: přerušená definice datového bodu na řádku %d.\n");
        else ok = ParseValueLine(&draft, &column);
        if (!ok) {
            FreeText(&draft.name);
            DATAOUT_FreeSource(&draft.source);
            return nullptr;
        }
    }
    return column;
}

// ---------------------------------------------------------------- nodes

DATAOUT_NODE* DATAOUT_FindNode(const char* name)
{
    for (DATAOUT_NODE* node = g_dataout.firstNode; node; node = node->next)
        if (strcasecmp(node->name, name) == 0) return node;
    return nullptr;
}

static const DVHAN_ROW* MatchNodeType()
{
    for (const DVHAN_ROW* row = DVHAN_Table; row->keyword; ++row)
        if (IOTXT_MatchWord(row->keyword)) return row;
    return nullptr;
}

static DATAOUT_NODE* ParseNodeHead()
{
    char* name = ReadQuotedTagged("DATAOUT-datavalue-node-name");
    if (!name) {
        LineError("DATAOUT: neznámé slovo v definici datové hodnoty na řádku %d.\n");
        return nullptr;
    }
    const DVHAN_ROW* row = nullptr;
    if (DATAOUT_FindNode(name)) LineError("DATAOUT: výpočetní uzel s tímto jménem už existuje na řádku %d.\n");
    else if (!IOTXT_MatchComma()) LineError("DATAOUT: očekávám čárku na řádku %d.\n");
    else if (!(row = MatchNodeType())) LineError("DATAOUT: neznámý typ výpočetního bodu na řádku %d.\n");
    else if (!IOTXT_IsEndOfLine()) LineError("DATAOUT: očekávám konec řádku na řádku %d.\n");
    else {
        MEMORY_SetTag("DATAOUT:dataout-datavalue");
        DATAOUT_NODE* node = (DATAOUT_NODE*)POOL_Alloc(sizeof(DATAOUT_NODE) + 1);
        if (node) {
            *node = DATAOUT_NODE{name, row, nullptr, nullptr};
            return node;
        }
        LineError("DATAOUT: nedostatek paměti pro výpočetní bod na řádku %d.\n");
    }
    POOL_Free(name);
    return nullptr;
}

uint32_t DATAOUT_ParseDataValue()
{
    DATAOUT_NODE* node = ParseNodeHead();
    if (!node) return 0;
    if (!node->type->parse || !node->type->parse(&node->data)) {
        POOL_Free(node->name);
        POOL_Free(node);
        return 0;
    }
    if (g_dataout.lastNode) g_dataout.lastNode->next = node;
    else g_dataout.firstNode = node;
    g_dataout.lastNode = node;
    return 1;
}

uint32_t DATAOUT_LinkNodes()
{
    for (DATAOUT_NODE* node = g_dataout.firstNode; node; node = node->next)
        if (node->type && node->type->link && !node->type->link(node->data)) return 0;
    return 1;
}

// Nodes that are updated but have no accuracy of their own (counts in an
// interval, extremes) would never be updated without a node that has one:
// they are then sampled every second.
uint32_t DATAOUT_GetMinAccuracy()
{
    uint32_t least = 0xFFFFFFFFu;
    uint32_t updated = 0;
    for (DATAOUT_NODE* node = g_dataout.firstNode; node; node = node->next) {
        if (!node->type) continue;
        if (node->type->update) updated = 1;
        if (!node->type->accuracy) continue;
        uint32_t accuracy = node->type->accuracy(node->data);
        if (accuracy < least) least = accuracy;
    }
    if (updated && least == 0xFFFFFFFFu) least = DATAOUT_DEFAULT_NODE_PERIOD;
    return least;
}

void DATAOUT_UpdateNodes()
{
    for (DATAOUT_NODE* node = g_dataout.firstNode; node; node = node->next)
        if (node->type && node->type->update) node->type->update(node->data);
}

// ---------------------------------------------------------------- sources

static const DOHAN_ROW* MatchQuantity()
{
    for (const DOHAN_ROW* row = DOHAN_Table; row->keyword; ++row)
        if (IOTXT_MatchWord(row->keyword)) return row;
    return nullptr;
}

static uint32_t ParseQuantitySource(DATAOUT_SOURCE* source, const DOHAN_ROW* row)
{
    void* data = nullptr;
    if (!row->parse || !row->parse(&data)) return 0;
    source->kind = DATAOUT_SOURCE_QUANTITY;
    source->quantity = row;
    source->quantityData = data;
    return 1;
}

// datavalue("<node name>"): a node defined above; the source ends its line.
static uint32_t ParseNodeSource(DATAOUT_SOURCE* source)
{
    if (!IOTXT_MatchChar('('))
        return LineError("DATAOUT: očekávám závorku a jméno výpočetního bodu na řádku %d.\n");
    char* name = ReadQuotedTagged("DATAOUT-datavalue-name");
    if (!name) return LineError("DATAOUT: očekávám jméno výpočetního bodu na řádku %d.\n");
    uint32_t ok = 0;
    DATAOUT_NODE* node = nullptr;
    if (!IOTXT_MatchChar(')')) LineError("DATAOUT: očekávám ukončovací závorku na řádku %d.\n");
    else if (!IOTXT_IsEndOfLine()) LineError("DATAOUT: očekávám konec řádku na řádku %d.\n");
    else if (!(node = DATAOUT_FindNode(name))) LineError("DATAOUT: výpočetní uzel nenalezen na řádku %d.\n");
    else ok = 1;
    POOL_Free(name);
    if (!ok) return 0;
    source->kind = DATAOUT_SOURCE_NODE;
    source->node = node;
    return 1;
}

// PARAMETER("<name>"): the parameter is looked up only when evaluated.
static uint32_t ParseParameterSource(DATAOUT_SOURCE* source)
{
    static const char noBracket[] = "DATAOUT: očekávám závorku u definice PARAMETER na řádku %d.\n";
    if (!IOTXT_MatchChar('(')) return LineError(noBracket);
    char* name = ReadQuotedTagged("DATAOUT-parameter-name");
    if (!name) return LineError("DATAOUT: očekávám název MULTIPASS-PARAMETRU u definice PARAMETER na řádku %d.\n");
    if (!IOTXT_MatchChar(')')) {
        POOL_Free(name);
        return LineError(noBracket);
    }
    source->kind = DATAOUT_SOURCE_PARAMETER;
    source->paramName = name;
    return 1;
}

static uint32_t ParseConstantSource(DATAOUT_SOURCE* source)
{
    uint32_t type = 0;
    int64_t integer = 0;
    double real = 0.0;
    char* text = nullptr;
    if (!IOTXT_ReadGenericValue(&type, &integer, &real, &text))
        return LineError("DATAOUT: chybné určení datového zdroje na řádku %d.\n");
    if (type != IOTXT_TYPE_INT64 && type != IOTXT_TYPE_DOUBLE) {
        FreeText(&text);
        return LineError("DATAOUT: neciselne konstanty neimplementovany na řádku %d.\n");
    }
    source->kind = DATAOUT_SOURCE_CONSTANT;
    source->constType = type;
    source->intConst = integer;
    source->realConst = real;
    return 1;
}

uint32_t DATAOUT_ParseSource(DATAOUT_SOURCE* source)
{
    *source = DATAOUT_SOURCE{};
    if (const DOHAN_ROW* row = MatchQuantity()) return ParseQuantitySource(source, row);
    if (IOTXT_MatchWord("datavalue")) return ParseNodeSource(source);
    if (IOTXT_MatchWord("PARAMETER")) return ParseParameterSource(source);
    return ParseConstantSource(source);
}

uint32_t DATAOUT_LinkSource(DATAOUT_SOURCE* source)
{
    if (source->kind != DATAOUT_SOURCE_QUANTITY || !source->quantity || !source->quantity->link) return 1;
    return source->quantity->link(source->quantityData);
}

static void EvalQuantity(const DATAOUT_SOURCE* source, uint32_t* type, int64_t* integer, double* real,
                         char** text)
{
    if (!source->quantity || !source->quantity->compute) {
        *type = IOTXT_TYPE_INT64;
        *integer = 0;
        return;
    }
    source->quantity->compute(source->quantityData, type, real, text);
}

static void EvalNode(const DATAOUT_SOURCE* source, uint32_t* type, int64_t* integer, double* real, char** text)
{
    const DATAOUT_NODE* node = source->node;
    if (!node || !node->type || !node->type->value) {
        *type = IOTXT_TYPE_INT64;
        *integer = 0;
        return;
    }
    node->type->value(node->data, type, integer, real, text);
}

static void EvalConstant(const DATAOUT_SOURCE* source, uint32_t* type, int64_t* integer, double* real)
{
    if (source->constType == IOTXT_TYPE_DOUBLE) {
        *type = IOTXT_TYPE_DOUBLE;
        *real = source->realConst;
    } else {
        *type = IOTXT_TYPE_INT64;
        *integer = source->constType == IOTXT_TYPE_INT64 ? source->intConst : 0;
    }
}

void DATAOUT_EvalSource(const DATAOUT_SOURCE* source, uint32_t* type, int64_t* integer, double* real,
                        char** text)
{
    switch (source->kind) {
    case DATAOUT_SOURCE_QUANTITY:
        EvalQuantity(source, type, integer, real, text);
        return;
    case DATAOUT_SOURCE_CONSTANT:
        EvalConstant(source, type, integer, real);
        return;
    case DATAOUT_SOURCE_NODE:
        EvalNode(source, type, integer, real, text);
        return;
    case DATAOUT_SOURCE_PARAMETER:
        *type = IOTXT_TYPE_DOUBLE;
        *real = 0.0;
        if (!DATAOUT_ParamValue(source->paramName, real)) *real = 0.0;
        return;
    default:
        *type = IOTXT_TYPE_INT64;
        *integer = 0;
        return;
    }
}

// ---------------------------------------------------------------- freeing

void DATAOUT_FreeSource(DATAOUT_SOURCE* source)
{
    if (source->kind == DATAOUT_SOURCE_QUANTITY && source->quantityData) {
        if (source->quantity && source->quantity->free) source->quantity->free(source->quantityData);
        POOL_Free(source->quantityData);
    }
    FreeText(&source->text);
    FreeText(&source->paramName);
    *source = DATAOUT_SOURCE{};
}

void DATAOUT_FreeValue(DATAOUT_VALUE* column)
{
    DATAOUT_FreeSource(&column->source);
    FreeText(&column->name);
    POOL_Free(column);
}

void DATAOUT_FreeValueList(DATAOUT_VALUE* columns)
{
    while (columns) {
        DATAOUT_VALUE* next = columns->next;
        DATAOUT_FreeValue(columns);
        columns = next;
    }
}

void DATAOUT_FreeQueuedRows(DATAOUT_FILE* file)
{
    for (DATAOUT_ROW* row = file->firstQueued; row;) {
        DATAOUT_ROW* next = row->next;
        POOL_Free(row->text);
        POOL_Free(row);
        row = next;
    }
    file->firstQueued = file->lastQueued = nullptr;
    file->queuedCount = 0;
}

void DATAOUT_FreeFile(DATAOUT_FILE* file)
{
    DATAOUT_FreeValueList(file->columns);
    DATAOUT_FreeQueuedRows(file);
    DATAOUT_ReleasePipe(file);
    FreeText(&file->name);
    FreeText(&file->runName);
    POOL_Free(file);
}

void DATAOUT_FreeFileList(DATAOUT_FILE* files)
{
    while (files) {
        DATAOUT_FILE* next = files->next;
        DATAOUT_FreeFile(files);
        files = next;
    }
}

void DATAOUT_FreeNodeList(DATAOUT_NODE* nodes)
{
    while (nodes) {
        DATAOUT_NODE* next = nodes->next;
        if (nodes->type && nodes->type->free) nodes->type->free(nodes->data);
        if (nodes->data) POOL_Free(nodes->data);
        FreeText(&nodes->name);
        POOL_Free(nodes);
        nodes = next;
    }
}

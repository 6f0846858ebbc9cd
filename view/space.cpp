// SPACE: reads "Space.cfg" into the star list and the constellation list and
// prepares each star's direction, size and colour for the star field drawing.
#include "view/space.h"
#include <cctype>
#include <cmath>
#include <cstring>
#include "foundation/constants.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

namespace {

SPACE_STAR* g_stars = nullptr;
SPACE_STAR* g_lastStar = nullptr;
SPACE_CONSTELLATION* g_constellations = nullptr;
SPACE_CONSTELLATION* g_lastConstellation = nullptr;
uint32_t g_starCount = 0;
uint32_t g_constellationCount = 0;

SPACE_STAR_FILTER g_filter{};
SPACE_STAR* g_filterNext = nullptr;

const uint8_t kStarColors[24][3] = {
    {157, 180, 255}, {162, 185, 255}, {167, 188, 255}, {170, 191, 255}, {175, 195, 255}, {227, 234, 255},
    {186, 204, 255}, {192, 209, 255}, {202, 216, 255}, {228, 232, 255}, {237, 238, 255}, {251, 248, 255},
    {255, 249, 249}, {255, 245, 236}, {255, 244, 232}, {255, 241, 223}, {255, 235, 209}, {255, 233, 200},
    {255, 215, 174}, {255, 198, 144}, {255, 205, 147}, {255, 190, 127}, {255, 187, 123}, {255, 187, 121},
};

// Colour index by class letter and digit 0..9; the first entry also serves a class without a digit.
struct SPACE_CLASS_ROW {
    char letter;
    uint8_t byDigit[10];
};

const SPACE_CLASS_ROW kClasses[] = {
    {'O', {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {'B', {1, 1, 1, 2, 2, 3, 3, 3, 4, 4}},
    {'A', {5, 6, 6, 7, 7, 8, 8, 8, 8, 8}},
    {'F', {9, 9, 10, 10, 11, 11, 11, 12, 12, 12}},
    {'G', {13, 13, 13, 13, 14, 14, 14, 15, 15, 15}},
    {'K', {16, 17, 17, 18, 18, 18, 19, 19, 19, 19}},
    {'M', {20, 20, 21, 22, 22, 23, 23, 23, 23, 23}},
};

// The constellation being read, with its stars and lines until "end".
struct SPACE_PENDING {
    SPACE_CONSTELLATION* c;
    uint32_t namePositionGiven;
    SPACE_STAR* stars[SPACE_MAX_STARS];
    SPACE_STAR_LINE lines[SPACE_MAX_LINES];
};

void* AllocTagged(const char* tag, uint32_t size)
{
    MEMORY_SetTag(tag);
    void* block = POOL_Alloc(size);
    if (block) memset(block, 0, size);
    return block;
}

char* CopyName(const char* tag, const char* text)
{
    uint32_t n = (uint32_t)strlen(text);
    char* copy = static_cast<char*>(AllocTagged(tag, n + 4));
    if (copy) memcpy(copy, text, n + 1);
    return copy;
}

void AppendStar(SPACE_STAR* star)
{
    if (g_lastStar) g_lastStar->next = star;
    else g_stars = star;
    g_lastStar = star;
    g_starCount++;
}

void AppendConstellation(SPACE_CONSTELLATION* c)
{
    if (g_lastConstellation) g_lastConstellation->next = c;
    else g_constellations = c;
    g_lastConstellation = c;
    g_constellationCount++;
}

void FreeConstellation(SPACE_CONSTELLATION* c)
{
    if (!c) return;
    POOL_Free(c->name);
    POOL_Free(c->lines);
    POOL_Free(c->stars);
    POOL_Free(c);
}

uint32_t LineEnds()
{
    if (IOTXT_IsEndOfLine()) return 1;
    LOG_Printf("SPACE: neočekávaný text na řádce %u.\n", IOTXT_GetLineNumber());
    return 0;
}

uint32_t Fail(const char* message)
{
    LOG_Printf(message, IOTXT_GetLineNumber());
    return 0;
}

uint32_t OpenConstellation(SPACE_PENDING* p)
{
    char* name = IOTXT_ReadQuotedString();
    if (!name) return Fail("SPACE: očekávám název souhvězdí na řádce %u.\n");
    if (!IOTXT_IsEndOfLine()) {
        POOL_Free(name);
        return LineEnds();
    }
    p->c = static_cast<SPACE_CONSTELLATION*>(AllocTagged("SPACE:constellation", sizeof(SPACE_CONSTELLATION) + 1));
    char* copy = p->c ? CopyName("SPACE-constellation-name", name) : nullptr;
    POOL_Free(name);
    if (!copy) {
        POOL_Free(p->c);
        p->c = nullptr;
        LOG_Printf("SPACE: pro načtení souhvězdí není dostatek paměti.\n");
        return 0;
    }
    p->c->name = copy;
    p->namePositionGiven = 0;
    return 1;
}

uint32_t ReadStarValues(SPACE_STAR* s)
{
    int64_t number;
    if (!IOTXT_ReadInt64(&number)) return Fail("SPACE: očekávám číslo hvězdy na řádku %u.\n");
    s->number = (uint32_t)number;
    if (!IOTXT_MatchComma()) return Fail("SPACE: očekávám čárku na řádku %u.\n");
    char* name = IOTXT_ReadQuotedString();
    if (!name) return Fail("SPACE: očekávám jméno hvězdy na řádku %u.\n");
    s->name = CopyName("SPACE-star-name", name);
    POOL_Free(name);
    if (!s->name) {
        LOG_Printf("SPACE: pro načtení souhvězdí není dostatek paměti.\n");
        return 0;
    }
    if (!IOTXT_MatchComma()) return Fail("SPACE: očekávám čárku na řádku %u.\n");
    if (!IOTXT_ReadRightAscension(&s->rightAscension))
        return Fail("SPACE: očekávám rektascenzi hvězdy na řádku %u.\n");
    if (!IOTXT_MatchComma()) return Fail("SPACE: očekávám čárku na řádku %u.\n");
    if (!IOTXT_ReadDeclination(&s->declination)) return Fail("SPACE: očekávám deklinaci hvězdy na řádku %u.\n");
    if (!IOTXT_MatchComma()) return Fail("SPACE: očekávám čárku na řádku %u.\n");
    if (!IOTXT_ReadDouble(&s->magnitude)) return Fail("SPACE: očekávám magnitudu hvězdy na řádku %u.\n");
    if (!IOTXT_MatchComma()) return Fail("SPACE: očekávám čárku na řádku %u.\n");
    if (!SPACE_ParseSpectralClass(&s->colorIndex))
        return Fail("SPACE: očekávám spektralni typ hvězdy na řádku %u.\n");
    return LineEnds();
}

// A star goes into the global list at once, so it stays even when its line
// or its constellation turns out bad.
uint32_t ReadStar(SPACE_PENDING* p)
{
    if (p->c->starCount >= SPACE_MAX_STARS) return Fail("SPACE: příliš mnoho hvězd v souhvězdí na řádku %u.\n");
    SPACE_STAR* s = static_cast<SPACE_STAR*>(AllocTagged("SPACE:star-template", sizeof(SPACE_STAR) + 1));
    if (!s) {
        LOG_Printf("SPACE: pro načtení souhvězdí není dostatek paměti.\n");
        return 0;
    }
    AppendStar(s);
    if (!ReadStarValues(s)) return 0;
    p->stars[p->c->starCount++] = s;
    return 1;
}

SPACE_STAR* FindStar(const SPACE_PENDING* p, int64_t number)
{
    for (uint32_t i = 0; i < p->c->starCount; i++)
        if (p->stars[i]->number == (uint64_t)number) return p->stars[i];
    return nullptr;
}

uint32_t ReadLinePair(SPACE_PENDING* p)
{
    int64_t from, to;
    if (!IOTXT_MatchChar('(')) return Fail("SPACE: očekávám levou závorku u definice spojnice na řádce %u.\n");
    if (!IOTXT_ReadInt64(&from)) return Fail("SPACE: očekávám číslo počátku spojnice na řádce %u.\n");
    if (!IOTXT_MatchComma()) return Fail("SPACE: očekávám čárku v definici spojnice na řádce %u.\n");
    if (!IOTXT_ReadInt64(&to)) return Fail("SPACE: očekávám číslo konce spojnice na řádce %u.\n");
    if (!IOTXT_MatchChar(')')) return Fail("SPACE: očekávám levou závorku u definice spojnice na řádce %u.\n");
    if (p->c->lineCount >= SPACE_MAX_LINES) return Fail("SPACE: příliš mnoho spojnic souhvězdí na řádce %u.\n");
    SPACE_STAR_LINE line{FindStar(p, from), FindStar(p, to)};
    if (!line.from) return Fail("SPACE: hvězda s tímto OD číslem není v souhvězdí na řádce %u.\n");
    if (!line.to) return Fail("SPACE: hvězda s tímto DO číslem není v souhvězdí na řádce %u.\n");
    p->lines[p->c->lineCount++] = line;
    return 1;
}

uint32_t ReadLines(SPACE_PENDING* p)
{
    if (IOTXT_IsEndOfLine()) return Fail("SPACE: chybí definice spojnic na řádce %u.\n");
    do {
        if (!ReadLinePair(p)) return 0;
    } while (IOTXT_MatchComma());
    return LineEnds();
}

uint32_t ReadNamePosition(SPACE_PENDING* p)
{
    if (!IOTXT_ReadRightAscension(&p->c->nameRightAscension))
        return Fail("SPACE: očekávám souřadnice jména souhvězdí na řádku %u.\n");
    if (!IOTXT_MatchComma() || !IOTXT_ReadDeclination(&p->c->nameDeclination))
        return Fail("SPACE: očekávám deklinaci hvězdy na řádku %u.\n");
    if (!LineEnds()) return 0;
    p->namePositionGiven = 1;
    return 1;
}

template <typename T>
T* CopyArray(const char* tag, const T* items, uint32_t count)
{
    T* copy = static_cast<T*>(AllocTagged(tag, count * sizeof(T) + 1));
    if (copy) memcpy(copy, items, count * sizeof(T));
    return copy;
}

uint32_t CloseConstellation(SPACE_PENDING* p)
{
    if (!p->namePositionGiven)
        return Fail("SPACE: chyba v CFG souboru na řádce %u. Nebyly určeny souřadnice pro zobrazení jména.\n");
    if (p->c->starCount == 0)
        return Fail("SPACE: chyba v CFG souboru na řádce %u. Souhvězdí neobsahuje žádné hvězdy.\n");
    p->c->stars = CopyArray("SPACE:star-templates", p->stars, p->c->starCount);
    p->c->lines = CopyArray("SPACE:star-lines", p->lines, p->c->lineCount);
    if (!p->c->stars || !p->c->lines) {
        LOG_Printf("SPACE: pro načtení souhvězdí není dostatek paměti.\n");
        return 0;
    }
    AppendConstellation(p->c);
    p->c = nullptr;
    return 1;
}

uint32_t ReadInsideConstellation(SPACE_PENDING* p, uint32_t* closed)
{
    if (IOTXT_MatchWord("star")) return ReadStar(p);
    if (IOTXT_MatchWord("line")) return ReadLines(p);
    if (IOTXT_MatchWord("name")) return ReadNamePosition(p);
    if (IOTXT_MatchWord("end")) {
        *closed = 1;
        return CloseConstellation(p);
    }
    if (IOTXT_MatchWord("constellation"))
        return Fail("SPACE: chyba v CFG souboru na řádce %u. Očekává se END.\n");
    return Fail("SPACE: neznámé slovo v CFG souboru na řádce %u. Data budou nekompletní\n");
}

void ReadFile()
{
    SPACE_PENDING p{};
    while (IOTXT_NextLine()) {
        uint32_t ok;
        if (!p.c) {
            if (IOTXT_MatchWord("constellation")) ok = OpenConstellation(&p);
            else ok = Fail("SPACE: neznámé slovo v CFG souboru na řádce %u. Data budou nekompletní\n");
        } else {
            uint32_t closed = 0;
            ok = ReadInsideConstellation(&p, &closed);
        }
        if (!ok) {
            FreeConstellation(p.c);
            return;
        }
    }
    if (p.c) {
        LOG_Printf("SPACE: nesprávný formát CFG souboru na řádce %u. Data budou nekompletní.\n",
                   IOTXT_GetLineNumber());
        FreeConstellation(p.c);
    }
}

uint32_t PassesFilter(const SPACE_STAR* s, const SPACE_STAR_FILTER& f)
{
    if ((f.flags & SPACE_FILTER_NAME) && !(f.name && s->name && strstr(f.name, s->name))) return 0;
    if ((f.flags & SPACE_FILTER_POSITION) &&
        (s->declination < f.decMin || s->declination > f.decMax || s->rightAscension < f.raMin ||
         s->rightAscension > f.raMax))
        return 0;
    const uint32_t colorFlags[4] = {SPACE_FILTER_COLOR1, SPACE_FILTER_COLOR2, SPACE_FILTER_COLOR3,
                                    SPACE_FILTER_COLOR4};
    for (uint32_t i = 0; i < 4; i++)
        if ((f.flags & colorFlags[i]) && s->colorIndex == f.colorIndex[i]) return 1;
    if (!(f.flags & SPACE_FILTER_MAGNITUDE)) return 1;
    return s->magnitude >= f.magnitudeMin && s->magnitude <= f.magnitudeMax;
}

}  // namespace

void SPACE_LoadConfig()
{
    LOG_Printf("SPACE: Načítám definici vesmírných objektů ...\n");
    SPACE_Free();
    if (!IOTXT_OpenFile("Space.cfg")) {
        LOG_Printf("SPACE: nelze otevřít soubor Space.CFG, zobrazení vesmíru nebude k dispozici.\n");
        return;
    }
    ReadFile();
    LOG_Printf("SPACE: Celkem načtena data %u souhvězdí a %u hvězd.\n", g_constellationCount, g_starCount);
    IOTXT_CloseFile();
}

void SPACE_Free()
{
    while (g_constellations) {
        SPACE_CONSTELLATION* next = g_constellations->next;
        FreeConstellation(g_constellations);
        g_constellations = next;
    }
    while (g_stars) {
        SPACE_STAR* next = g_stars->next;
        POOL_Free(g_stars->name);
        POOL_Free(g_stars);
        g_stars = next;
    }
    g_lastStar = nullptr;
    g_lastConstellation = nullptr;
    g_starCount = 0;
    g_constellationCount = 0;
    g_filterNext = nullptr;
}

SPACE_CONSTELLATION* SPACE_GetConstellations() { return g_constellations; }
SPACE_STAR* SPACE_GetStars() { return g_stars; }

void SPACE_StarColor(uint32_t colorIndex, uint8_t* r, uint8_t* g, uint8_t* b)
{
    const uint8_t* c = kStarColors[colorIndex < 24 ? colorIndex : 0];
    *r = c[0];
    *g = c[1];
    *b = c[2];
}

uint32_t SPACE_ParseSpectralClass(uint32_t* colorIndex)
{
    IOTXT_SkipBlanks();
    char* p = IOTXT_GetPosition();
    char letter = (char)toupper((unsigned char)*p);
    for (const SPACE_CLASS_ROW& row : kClasses) {
        if (row.letter != letter) continue;
        p++;
        uint32_t digit = isdigit((unsigned char)*p) ? (uint32_t)(*p++ - '0') : 0;
        *colorIndex = row.byDigit[digit];
        // A luminance class or a fraction after the digit ("G2V", "B9.5") belongs to the class.
        while (isalnum((unsigned char)*p) || *p == '.') p++;
        IOTXT_SetPosition(p);
        return 1;
    }
    return 0;
}

void SPACE_PrepareStar(SPACE_STAR* s)
{
    const double toRad = CONST_DEG_TO_RAD;
    double a = s->rightAscension * toRad;
    double d = s->declination * toRad;
    s->direction = VEC3{cos(d) * cos(a) * 1e10, cos(d) * sin(a) * 1e10, sin(d) * 1e10};
    VEC3 scene{s->direction.x * 0.01, s->direction.y * 0.01, s->direction.z * 0.01};
    double length = VEC_Length(&scene);
    if (length >= SPACE_STAR_SPHERE_RADIUS) {
        double f = length / SPACE_STAR_SPHERE_RADIUS;
        scene = VEC3{scene.x / f, scene.y / f, scene.z / f};
    }
    s->sceneDirection = scene;
    // Stars fainter than magnitude 8 would get a negative size.
    double size = (800.0 - 100.0 * s->magnitude) * 0.01;
    s->size = size > 0.0 ? size : 0.0;
    SPACE_StarColor(s->colorIndex, &s->color[0], &s->color[1], &s->color[2]);
}

void SPACE_PrepareStars()
{
    for (SPACE_STAR* s = g_stars; s; s = s->next) SPACE_PrepareStar(s);
}

void SPACE_QueryStars(const SPACE_STAR_FILTER* filter)
{
    g_filter = *filter;
    g_filterNext = g_stars;
}

SPACE_STAR* SPACE_NextStar()
{
    while (g_filterNext) {
        SPACE_STAR* s = g_filterNext;
        g_filterNext = s->next;
        if (PassesFilter(s, g_filter)) return s;
    }
    return nullptr;
}

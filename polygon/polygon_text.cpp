// POLYGON: the text format of contours and areas, and the conversion of areas
// between floating coordinates and the 20-bit grid.
//
// Contour: "%d\n" vertex count, then "%d,%d\n" per vertex from the head.
// Area file: "%d\n" area count; per area "%d\n" contour count, then its
// contours, outer boundary first. Numbers are read as "%d" would read them
// (white space first, an optional sign, digits), but with range checks.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include "polygon/polygonlibrary.h"

namespace {

constexpr double POLYGON_GRID_STEPS = 1048575.0;   // INT20_MAX - INT20_MIN
constexpr int64_t POLYGON_NUMBER_CAP = int64_t(1) << 40;

// Closes the file on every way out of a reader or writer.
struct FILE_GUARD {
    FILE* f;
    ~FILE_GUARD()
    {
        if (f)
            fclose(f);
    }
    // Closes now; a failing close of a written file is a failed write.
    void Close()
    {
        FILE* file = f;
        f = nullptr;
        if (fclose(file) != 0)
            POLYGON_Error(POLYGON_ERR_FILE);
    }
};

FILE* OpenOrRaise(const char* fileName, const char* mode)
{
    if (!fileName)
        POLYGON_Error(POLYGON_ERR_FILE);
    FILE* f = fopen(fileName, mode);
    if (!f)
        POLYGON_Error(POLYGON_ERR_FILE);
    return f;
}

// One "%d" item: white space, an optional sign, at least one digit. Values
// beyond the cap saturate, so the caller's range check refuses them. A missing
// number is error 2.
int64_t ReadNumber(FILE* f)
{
    int ch = getc(f);
    while (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f')
        ch = getc(f);
    bool negative = false;
    if (ch == '+' || ch == '-') {
        negative = ch == '-';
        ch = getc(f);
    }
    if (ch < '0' || ch > '9')
        POLYGON_Error(POLYGON_ERR_FILE);
    int64_t value = 0;
    while (ch >= '0' && ch <= '9') {
        if (value < POLYGON_NUMBER_CAP)
            value = value * 10 + (ch - '0');
        ch = getc(f);
    }
    if (ch != EOF)
        ungetc(ch, f);
    return negative ? -value : value;
}

// A count of items: a number within int32, at least `minimum` (else `code`).
int64_t ReadCount(FILE* f, int64_t minimum, int code)
{
    int64_t n = ReadNumber(f);
    if (n > INT32_MAX)
        POLYGON_Error(POLYGON_ERR_FILE);
    if (n < minimum)
        POLYGON_Error(code);
    return n;
}

// One "%d,%d" point; the comma follows x directly. Outside INT20 is error 3.
POLYGON_IPOINT ReadPoint(FILE* f)
{
    int64_t x = ReadNumber(f);
    if (getc(f) != ',')
        POLYGON_Error(POLYGON_ERR_FILE);
    int64_t y = ReadNumber(f);
    if (!POLYGON_InGrid(x) || !POLYGON_InGrid(y))
        POLYGON_Error(POLYGON_ERR_DATA);
    return POLYGON_IPOINT{static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

// Reads one contour and checks it; an invalid contour is error 3.
POLYGON_CONTOUR* ReadCheckedContour(FILE* f)
{
    int64_t n = ReadCount(f, 3, POLYGON_ERR_DATA);
    POLYGON_IPOINT p = ReadPoint(f);
    POLYGON_CONTOUR* c = POLYGON_NewContour(p.x, p.y);
    try {
        for (int64_t i = 1; i < n; i++) {
            p = ReadPoint(f);
            POLYGON_AppendPoint(c, p.x, p.y);
        }
        if (!POLYGON_CheckContour(c))
            POLYGON_Error(POLYGON_ERR_DATA);
    } catch (...) {
        POLYGON_FreeContour(&c);
        throw;
    }
    return c;
}

void WriteOrRaise(bool ok)
{
    if (!ok)
        POLYGON_Error(POLYGON_ERR_FILE);
}

void WriteContourTo(FILE* f, const POLYGON_CONTOUR* c)
{
    WriteOrRaise(fprintf(f, "%d\n", static_cast<int>(c->count)) > 0);
    const POLYGON_VNODE* v = c->head;
    for (uint32_t i = 0; i < c->count; i++, v = v->next)
        WriteOrRaise(fprintf(f, "%d,%d\n", v->point.g.x, v->point.g.y) > 0);
}

// Raises 3 unless vMin < vMax on both axes (NaN refused).
void CheckBounds(const double vMin[2], const double vMax[2])
{
    for (int k = 0; k < 2; k++)
        POLYGON_Require(vMin[k] < vMax[k] && std::isfinite(vMin[k]) && std::isfinite(vMax[k]));
}

int32_t ToGrid(double v, double lo, double hi)
{
    double g = std::floor((v - lo) / (hi - lo) * POLYGON_GRID_STEPS + 0.5) + POLYGON_INT20_MIN;
    // Guards the last bit of rounding at the upper bound.
    if (g > POLYGON_INT20_MAX)
        g = POLYGON_INT20_MAX;
    if (g < POLYGON_INT20_MIN)
        g = POLYGON_INT20_MIN;
    return static_cast<int32_t>(g);
}

double FromGrid(int32_t g, double lo, double hi)
{
    return (hi - lo) * (double(g) - POLYGON_INT20_MIN) / POLYGON_GRID_STEPS + lo;
}

template <typename VISIT>
void ForEachContour(POLYGON_AREA* ring, VISIT visit)
{
    POLYGON_AREA* a = ring;
    do {
        for (POLYGON_CONTOUR* c = a->cntr; c; c = c->next)
            visit(c);
        a = a->next;
    } while (a != ring);
}

// Every vertex of a floating ring lies within the bounds (raises 3).
void CheckFloatingRing(POLYGON_AREA* ring, const double vMin[2], const double vMax[2])
{
    POLYGON_AREA* a = ring;
    do {
        POLYGON_Require(a->next && a->next->prev == a && a->cntr);
        a = a->next;
    } while (a != ring);
    ForEachContour(ring, [&](POLYGON_CONTOUR* c) {
        POLYGON_CheckRing(c, false);
        const POLYGON_VNODE* v = c->head;
        for (uint32_t i = 0; i < c->count; i++, v = v->next)
            POLYGON_Require(v->point.f.x >= vMin[0] && v->point.f.x <= vMax[0] && v->point.f.y >= vMin[1] &&
                            v->point.f.y <= vMax[1]);
    });
}

// Maps one contour's vertices onto the grid; vertices that land on the point
// of the vertex before them go.
void ContourToGrid(POLYGON_CONTOUR* c, const double vMin[2], const double vMax[2])
{
    c->boxMin.g = POLYGON_IPOINT{POLYGON_INT20_MAX, POLYGON_INT20_MAX};
    c->boxMax.g = POLYGON_IPOINT{POLYGON_INT20_MIN, POLYGON_INT20_MIN};
    POLYGON_VNODE* v = c->head;
    uint32_t n = c->count;
    for (uint32_t i = 0; i < n; i++) {
        POLYGON_VNODE* next = v->next;
        POLYGON_IPOINT g{ToGrid(v->point.f.x, vMin[0], vMax[0]), ToGrid(v->point.f.y, vMin[1], vMax[1])};
        if (g.x < c->boxMin.g.x) c->boxMin.g.x = g.x;
        if (g.y < c->boxMin.g.y) c->boxMin.g.y = g.y;
        if (g.x > c->boxMax.g.x) c->boxMax.g.x = g.x;
        if (g.y > c->boxMax.g.y) c->boxMax.g.y = g.y;
        if (v != c->head && POLYGON_SamePoint(g, v->prev->point.g))
            POLYGON_RemoveVertex(c, v);
        else
            v->point.g = g;
        v = next;
    }
}

// After rounding: the contour check on the grid ring (which also catches a
// last vertex that rounded onto the head), then the orientation its place in
// the area asks for. False when the contour has become invalid.
bool SettleGridContour(POLYGON_CONTOUR* c, bool outer)
{
    if (c->count < 3 || !POLYGON_CheckContour(c))
        return false;
    if (POLYGON_IsOuter(c) != outer)
        POLYGON_ReverseContour(c);
    return true;
}

// Drops the invalid holes of an area; false when its outer contour is invalid.
bool SettleGridArea(POLYGON_AREA* a)
{
    if (!SettleGridContour(a->cntr, true))
        return false;
    POLYGON_CONTOUR** link = &a->cntr->next;
    while (*link) {
        POLYGON_CONTOUR* c = *link;
        if (SettleGridContour(c, false)) {
            link = &c->next;
            continue;
        }
        *link = c->next;
        POLYGON_FreeContour(&c);
    }
    return true;
}

}

// ---------------------------------------------------------------------------
// Text files

int POLYGON_ReadContour(const char* fileName, POLYGON_CONTOUR** contour)
{
    if (!contour)
        return POLYGON_ERR_DATA;
    *contour = nullptr;
    return POLYGON_Catch([&] {
        FILE_GUARD file{OpenOrRaise(fileName, "r")};
        POLYGON_CONTOUR* c = ReadCheckedContour(file.f);
        try {
            file.Close();
        } catch (...) {
            POLYGON_FreeContour(&c);
            throw;
        }
        *contour = c;
    });
}

int POLYGON_WriteContour(const char* fileName, const POLYGON_CONTOUR* contour)
{
    return POLYGON_Catch([&] {
        POLYGON_Require(contour != nullptr);
        POLYGON_CheckRing(contour, true);
        FILE_GUARD file{OpenOrRaise(fileName, "w")};
        WriteContourTo(file.f, contour);
        file.Close();
    });
}

int POLYGON_ReadArea(const char* fileName, POLYGON_AREA** area)
{
    if (!area)
        return POLYGON_ERR_DATA;
    *area = nullptr;
    POLYGON_AREA* ring = nullptr;
    int code = POLYGON_Catch([&] {
        FILE_GUARD file{OpenOrRaise(fileName, "r")};
        int64_t areas = ReadCount(file.f, 1, POLYGON_ERR_FILE);
        for (int64_t i = 0; i < areas; i++) {
            int64_t contours = ReadCount(file.f, 1, POLYGON_ERR_FILE);
            for (int64_t k = 0; k < contours; k++) {
                POLYGON_CONTOUR* c = ReadCheckedContour(file.f);
                // The first contour of a group is meant as the outer boundary.
                if (POLYGON_IsOuter(c) != (k == 0))
                    POLYGON_ReverseContour(c);
                POLYGON_InsertContour(&ring, c);
            }
        }
        file.Close();
    });
    if (code != POLYGON_OK) {
        POLYGON_FreeArea(&ring);
        return code;
    }
    *area = ring;
    return POLYGON_OK;
}

int POLYGON_WriteArea(const char* fileName, const POLYGON_AREA* area)
{
    return POLYGON_Catch([&] {
        POLYGON_CheckGridArea(area);
        FILE_GUARD file{OpenOrRaise(fileName, "w")};
        int areas = 0;
        const POLYGON_AREA* a = area;
        if (a)
            do {
                areas++;
                a = a->next;
            } while (a != area);
        WriteOrRaise(fprintf(file.f, "%d\n", areas) > 0);
        a = area;
        for (int i = 0; i < areas; i++, a = a->next) {
            int contours = 0;
            for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next)
                contours++;
            WriteOrRaise(fprintf(file.f, "%d\n", contours) > 0);
            for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next)
                WriteContourTo(file.f, c);
        }
        file.Close();
    });
}

// ---------------------------------------------------------------------------
// Grid conversion

void POLYGON_AreaBounds(const POLYGON_AREA* area, double vMin[2], double vMax[2])
{
    if (!area)
        return;
    const POLYGON_AREA* a = area;
    do {
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
            const POLYGON_VNODE* v = c->head;
            for (uint32_t i = 0; v && i < c->count; i++, v = v->next) {
                vMin[0] = std::fmin(vMin[0], v->point.f.x);
                vMin[1] = std::fmin(vMin[1], v->point.f.y);
                vMax[0] = std::fmax(vMax[0], v->point.f.x);
                vMax[1] = std::fmax(vMax[1], v->point.f.y);
            }
        }
        a = a->next;
    } while (a && a != area);
}

int POLYGON_AreaToGrid(POLYGON_AREA** area, const double vMin[2], const double vMax[2])
{
    if (!area)
        return POLYGON_ERR_DATA;
    return POLYGON_Catch([&] {
        if (!*area)
            return;
        CheckBounds(vMin, vMax);
        CheckFloatingRing(*area, vMin, vMax);
        ForEachContour(*area, [&](POLYGON_CONTOUR* c) { ContourToGrid(c, vMin, vMax); });
        // Areas whose outer boundary collapsed go with their holes.
        POLYGON_AREA* a = *area;
        POLYGON_AREA* last = a->prev;
        for (bool done = false; !done;) {
            done = a == last;
            POLYGON_AREA* next = a->next;
            if (!SettleGridArea(a))
                POLYGON_RemoveArea(area, a);
            a = next;
        }
    });
}

int POLYGON_AreaFromGrid(POLYGON_AREA* area, const double vMin[2], const double vMax[2])
{
    return POLYGON_Catch([&] {
        if (!area)
            return;
        CheckBounds(vMin, vMax);
        POLYGON_CheckGridArea(area);
        ForEachContour(area, [&](POLYGON_CONTOUR* c) {
            POLYGON_VNODE* v = c->head;
            for (uint32_t i = 0; i < c->count; i++, v = v->next) {
                POLYGON_IPOINT g = v->point.g;
                v->point.f = POLYGON_FPOINT{FromGrid(g.x, vMin[0], vMax[0]), FromGrid(g.y, vMin[1], vMax[1])};
            }
            POLYGON_IPOINT lo = c->boxMin.g, hi = c->boxMax.g;
            c->boxMin.f = POLYGON_FPOINT{FromGrid(lo.x, vMin[0], vMax[0]), FromGrid(lo.y, vMin[1], vMax[1])};
            c->boxMax.f = POLYGON_FPOINT{FromGrid(hi.x, vMin[0], vMax[0]), FromGrid(hi.y, vMin[1], vMax[1])};
        });
    });
}

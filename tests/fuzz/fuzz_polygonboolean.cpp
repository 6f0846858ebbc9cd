// Polygon boolean operations on area files: each area read is combined with a
// fixed area and with itself by all four operations. The result is 0 or 3
// only, and a result has contours of at least 3 vertices within the grid,
// outer contours counter-clockwise and holes clockwise.
#include <cstdlib>
#include "polygon/polygonlibrary.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

POLYGON_AREA* FixedArea()
{
    POLYGON_AREA* area = nullptr;
    POLYGON_CONTOUR* outer = POLYGON_NewContour(100, 100);
    POLYGON_AppendPoint(outer, 500, 100);
    POLYGON_AppendPoint(outer, 500, 500);
    POLYGON_AppendPoint(outer, 100, 500);
    POLYGON_CONTOUR* hole = POLYGON_NewContour(200, 200);
    POLYGON_AppendPoint(hole, 200, 300);
    POLYGON_AppendPoint(hole, 300, 200);
    POLYGON_CheckContour(outer);
    POLYGON_CheckContour(hole);
    POLYGON_InsertContour(&area, outer);
    POLYGON_InsertContour(&area, hole);
    return area;
}

void CheckResult(const POLYGON_AREA* ring)
{
    const POLYGON_AREA* a = ring;
    if (!a)
        return;
    do {
        if (!a->cntr || !POLYGON_IsOuter(a->cntr))
            abort();
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
            POLYGON_CheckRing(c, true);
            if (c->count < 3 || (POLYGON_DoubledArea(c) > 0) != POLYGON_IsOuter(c))
                abort();
        }
        a = a->next;
    } while (a != ring);
}

void Combine(const POLYGON_AREA* a, const POLYGON_AREA* b)
{
    for (int op = POLYGON_OP_UNION; op <= POLYGON_OP_XOR; op++) {
        POLYGON_AREA* result = nullptr;
        int code = POLYGON_BooleanOp(a, b, &result, op);
        if (code != 0 && code != 3)
            abort();
        if (code == 0)
            CheckResult(result);
        else if (result)
            abort();
        POLYGON_ApiFreeArea(&result);
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("fuzz_area.txt", data, size);
    POLYGON_AREA* area = nullptr;
    if (POLYGON_ReadArea(FUZZ_Path("fuzz_area.txt"), &area) == 0) {
        POLYGON_AREA* fixed = FixedArea();
        Combine(area, fixed);
        Combine(fixed, area);
        Combine(area, area);
        POLYGON_ApiFreeArea(&fixed);
    }
    POLYGON_ApiFreeArea(&area);
    FUZZ_EndInput();
    return 0;
}

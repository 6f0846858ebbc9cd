// Polygon area files: read, and when they read, triangulated. The reader
// gives 0, 2 or 3 only; the triangulation 0 or 3, and on 0 exactly
// n + 2(c - 1) - 2 counter-clockwise triangles per area.
#include <cstdlib>
#include "polygon/polygonlibrary.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckTriangles(const POLYGON_AREA* ring)
{
    const POLYGON_AREA* a = ring;
    do {
        uint32_t n = 0, contours = 0;
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next, contours++)
            n += c->count;
        if (a->triangleCount != n + 2 * (contours - 1) - 2)
            abort();
        for (uint32_t i = 0; i < a->triangleCount; i++) {
            const POLYGON_TRIANGLE& t = a->triangles[i];
            if (POLYGON_Cross(t.v[0]->point.g, t.v[1]->point.g, t.v[2]->point.g) <= 0)
                abort();
        }
        a = a->next;
    } while (a != ring);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("fuzz_area.txt", data, size);
    POLYGON_AREA* area = nullptr;
    int code = POLYGON_ReadArea(FUZZ_Path("fuzz_area.txt"), &area);
    if (code != 0 && code != 2 && code != 3)
        abort();
    if (code == 0) {
        code = POLYGON_ApiTriangulate(area);
        if (code == 0)
            CheckTriangles(area);
        else if (code != 3 || POLYGON_TriangleCount(area) != 0)
            abort();
    }
    POLYGON_ApiFreeArea(&area);
    FUZZ_EndInput();
    return 0;
}

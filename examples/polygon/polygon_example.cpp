// Reads two area files, triangulates each area and writes its triangles as
// an area file of its own (one area of one three-vertex contour per
// triangle), printing each area's size and triangle count; then writes the
// union, intersection, difference (first minus second) and exclusive or of
// the two, printing the area of each.
//
//     polygon_example [a.txt [b.txt]]
//
// Writes "<name>_triangles.txt" into the current folder for each input
// ("a_triangles.txt" for "a.txt") and "union.txt", "intersection.txt",
// "difference.txt" and "xor.txt". The files hold grid points.
#include <cstdio>
#include <cstdlib>
#include <string>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "polygon/polygonlibrary.h"

namespace {

// The area enclosed by a ring: outer contours count, holes take away.
double AreaOf(const POLYGON_AREA* ring)
{
    int64_t doubled = 0;
    const POLYGON_AREA* a = ring;
    if (a)
        do {
            for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next)
                doubled += POLYGON_DoubledArea(c);
            a = a->next;
        } while (a != ring);
    return doubled / 2.0;
}

// "a_triangles.txt" for "some/folder/a.txt", in the current folder.
std::string TrianglesFileName(const std::string& input)
{
    size_t slash = input.rfind('/');
    std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    size_t dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + "_triangles.txt";
}

// The triangles of a ring as a ring of its own, one area per triangle.
int WriteTriangles(const POLYGON_AREA* ring, const char* fileName)
{
    POLYGON_AREA* out = nullptr;
    int code = POLYGON_Catch([&] {
        uint32_t count = POLYGON_TriangleCount(ring);
        for (uint32_t i = 0; i < count; i++) {
            double x[3], y[3];
            POLYGON_GetTriangle(ring, i, &x[0], &y[0], &x[1], &y[1], &x[2], &y[2]);
            POLYGON_CONTOUR* c = POLYGON_NewContour(int32_t(x[0]), int32_t(y[0]));
            POLYGON_AppendPoint(c, int32_t(x[1]), int32_t(y[1]));
            POLYGON_AppendPoint(c, int32_t(x[2]), int32_t(y[2]));
            if (!POLYGON_CheckContour(c)) {
                POLYGON_FreeContour(&c);
                POLYGON_Error(POLYGON_ERR_DATA);
            }
            POLYGON_InsertContour(&out, c);
        }
    });
    if (code == 0)
        code = out ? POLYGON_WriteArea(fileName, out) : POLYGON_ERR_DATA;
    POLYGON_ApiFreeArea(&out);
    return code;
}

// Reads one area file, triangulates it and writes its triangles.
bool Triangulate(const std::string& input)
{
    POLYGON_AREA* area = nullptr;
    int code = POLYGON_ReadArea(input.c_str(), &area);
    if (code != 0) {
        printf("%s: not read (error %d)\n", input.c_str(), code);
        return false;
    }
    code = POLYGON_ApiTriangulate(area);
    if (code != 0) {
        printf("%s: not triangulated (error %d)\n", input.c_str(), code);
        POLYGON_ApiFreeArea(&area);
        return false;
    }
    std::string output = TrianglesFileName(input);
    code = WriteTriangles(area, output.c_str());
    printf("%s: area %.1f, %u triangles -> %s\n", input.c_str(), AreaOf(area), POLYGON_TriangleCount(area),
           code == 0 ? output.c_str() : "not written");
    POLYGON_ApiFreeArea(&area);
    return code == 0;
}

// One boolean operation of the two files' areas, written to its own file.
bool Combine(const POLYGON_AREA* a, const POLYGON_AREA* b, int op, const char* name)
{
    POLYGON_AREA* result = nullptr;
    int code = POLYGON_BooleanOp(a, b, &result, op);
    if (code != 0) {
        printf("%s: not computed (error %d)\n", name, code);
        return false;
    }
    std::string output = std::string(name) + ".txt";
    // An empty result has no file: an area file holds at least one area.
    if (result)
        code = POLYGON_WriteArea(output.c_str(), result);
    printf("%s: area %.1f -> %s\n", name, AreaOf(result),
           !result ? "empty, no file" : (code == 0 ? output.c_str() : "not written"));
    POLYGON_ApiFreeArea(&result);
    return code == 0;
}

// Reads both files again and writes their four boolean combinations.
bool CombineFiles(const char* first, const char* second)
{
    POLYGON_AREA* a = nullptr;
    POLYGON_AREA* b = nullptr;
    bool ok = POLYGON_ReadArea(first, &a) == 0 && POLYGON_ReadArea(second, &b) == 0;
    if (ok) {
        ok = Combine(a, b, POLYGON_OP_UNION, "union");
        ok = Combine(a, b, POLYGON_OP_INTERSECTION, "intersection") && ok;
        ok = Combine(a, b, POLYGON_OP_A_MINUS_B, "difference") && ok;
        ok = Combine(a, b, POLYGON_OP_XOR, "xor") && ok;
    }
    POLYGON_ApiFreeArea(&a);
    POLYGON_ApiFreeArea(&b);
    return ok;
}

}

int main(int argc, char** argv)
{
    LOG_Init();
    MEMORY_Init();
    POOL_Init();
    const char* a = argc > 1 ? argv[1] : "a.txt";
    const char* b = argc > 2 ? argv[2] : "b.txt";
    bool ok = Triangulate(a);
    ok = Triangulate(b) && ok;
    ok = ok && CombineFiles(a, b);
    POOL_Done();
    MEMORY_ReportLeaks();
    LOG_Done();
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}

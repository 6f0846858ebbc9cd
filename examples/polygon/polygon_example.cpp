// Reads the two areas a.txt and b.txt of a folder (the current one unless a
// folder is given), writes their union, intersection, difference a - b and
// exclusive or as area files next to them and prints the area of each.
#include <cstdio>
#include <string>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "polygon/polygonlibrary.h"

namespace {

double AreaOf(const POLYGON_AREA* ring)
{
    double sum = 0;
    const POLYGON_AREA* a = ring;
    if (a)
        do {
            for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next)
                sum += double(POLYGON_DoubledArea(c)) / 2;
            a = a->next;
        } while (a != ring);
    return sum;
}

int CountAreas(const POLYGON_AREA* ring)
{
    int n = 0;
    const POLYGON_AREA* a = ring;
    if (a)
        do {
            n++;
            a = a->next;
        } while (a != ring);
    return n;
}

bool Read(const std::string& path, POLYGON_AREA** area)
{
    int code = POLYGON_ReadArea(path.c_str(), area);
    if (code != POLYGON_OK)
        fprintf(stderr, "%s: error %d\n", path.c_str(), code);
    return code == POLYGON_OK;
}

// One boolean operation, written to a file and summed up on standard output.
bool Combine(const POLYGON_AREA* a, const POLYGON_AREA* b, int op, const char* name, const std::string& folder)
{
    POLYGON_AREA* result = nullptr;
    int code = POLYGON_BooleanOp(a, b, &result, op);
    if (code != POLYGON_OK) {
        fprintf(stderr, "%s: error %d\n", name, code);
        return false;
    }
    std::string path = folder + "/" + name + ".txt";
    // An empty result has no area file: the format needs at least one area.
    if (result)
        code = POLYGON_WriteArea(path.c_str(), result);
    printf("%-13s area %10.1f in %d area(s)%s\n", name, AreaOf(result), CountAreas(result),
           result ? (" -> " + path).c_str() : "");
    POLYGON_ApiFreeArea(&result);
    if (code != POLYGON_OK)
        fprintf(stderr, "%s: error %d\n", path.c_str(), code);
    return code == POLYGON_OK;
}

}

int main(int argc, char** argv)
{
    std::string folder = argc > 1 ? argv[1] : ".";
    LOG_Init();
    MEMORY_Init();
    POOL_Init();
    POLYGON_AREA* a = nullptr;
    POLYGON_AREA* b = nullptr;
    bool ok = Read(folder + "/a.txt", &a) && Read(folder + "/b.txt", &b);
    if (ok) {
        printf("%-13s area %10.1f\n%-13s area %10.1f\n", "a", AreaOf(a), "b", AreaOf(b));
        ok = Combine(a, b, POLYGON_OP_UNION, "union", folder) &&
             Combine(a, b, POLYGON_OP_INTERSECTION, "intersection", folder) &&
             Combine(a, b, POLYGON_OP_A_MINUS_B, "difference", folder) &&
             Combine(a, b, POLYGON_OP_XOR, "xor", folder);
    }
    POLYGON_ApiFreeArea(&a);
    POLYGON_ApiFreeArea(&b);
    POOL_Done();
    return ok ? 0 : 1;
}

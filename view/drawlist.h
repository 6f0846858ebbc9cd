// DRAWLIST: the user-drawn shape of a satellite, read from a small definition
// file of coloured and textured quads, spheres, lines and transmitter cones.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"

enum DRAWLIST_KIND : uint32_t {
    DRAWLIST_SCALE = 1,
    DRAWLIST_SIZE = 2,
    DRAWLIST_TEXTURE_QUAD = 3,
    DRAWLIST_COLOR_QUAD = 4,
    DRAWLIST_COLOR_SPHERE = 5,
    DRAWLIST_COLOR_LINE = 6,
    DRAWLIST_CONE = 7,
};

struct DRAWLIST_SCALE_DATA { double x, y, z; };
struct DRAWLIST_SIZE_DATA { double size; };
struct DRAWLIST_TEXTURE_QUAD_DATA {
    VEC3 corners[4];
    char* bitmapName;
    int32_t texture;          // texture slot, -1 none
};
struct DRAWLIST_COLOR_QUAD_DATA {
    VEC3 corners[4];
    uint8_t color[3];
};
struct DRAWLIST_SPHERE_DATA {
    VEC3 centre;
    double radius;
    uint8_t color[3];
};
struct DRAWLIST_LINE_DATA {
    VEC3 from, to;
    double width;
    uint8_t color[3];
};
struct DRAWLIST_CONE_DATA {
    VEC3 apex;
    VEC3 axis;                // unit direction x length
    double length;
    double halfAngle;         // degrees
    uint8_t color[3];
    uint8_t alpha;
};

struct DRAWLIST_ITEM {
    uint32_t kind;
    void* data;
    DRAWLIST_ITEM* next;
};

struct DRAWLIST_OBJECT {
    uint32_t count;
    DRAWLIST_ITEM* first;
};

// 1 and the new object, or 0 with nothing kept. A texture quad loads its
// bitmap into the current 3-D window; without one it keeps no texture.
uint32_t DRAWLIST_Load(const char* fileName, DRAWLIST_OBJECT** out);
// Draws every item in the current model frame; size := the last "object_size", else 1.0.
uint32_t DRAWLIST_Draw(DRAWLIST_OBJECT* object, double* size);
void DRAWLIST_Free(DRAWLIST_OBJECT* object);
void DRAWLIST_FreeItems(DRAWLIST_OBJECT* object);
void DRAWLIST_FreeItem(DRAWLIST_ITEM* item);
void DRAWLIST_Init();
void DRAWLIST_Done();
// The bitmap of a texture quad, loaded into the current 3-D window: 1 and the
// slot, or 0 when it does not load. Without a window: 1 and no texture (-1).
uint32_t DRAWLIST_LoadQuadTexture(const char* bitmapName, int32_t* slot);
void DRAWLIST_DeleteQuadTexture(int32_t slot);
// The sphere quadric of a run (with a current 3-D window).
void DRAWLIST_InitQuadric();
void DRAWLIST_DoneQuadric();

// DRAWLIST: reading and freeing of draw lists. One item per line: a keyword
// and its values separated by commas; items keep the order of the file.
#include "view/drawlist.h"
#include <cstring>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

namespace {

struct DRAWLIST_KEYWORD {
    const char* word;
    uint32_t kind;
    uint32_t dataSize;
    const char* dataTag;
    const char* itemTag;
    const char* form;         // the values the keyword takes, for the message about a bad line
};

const DRAWLIST_KEYWORD kKeywords[] = {
    {"object_size", DRAWLIST_SIZE, sizeof(DRAWLIST_SIZE_DATA), "DRAWLIST:size", "DRAWLIST:item-size", "velikost"},
    {"scale", DRAWLIST_SCALE, sizeof(DRAWLIST_SCALE_DATA), "DRAWLIST:scale", "DRAWLIST:item-scale", "x, y, z"},
    {"transmitter_cone", DRAWLIST_CONE, sizeof(DRAWLIST_CONE_DATA), "DRAWLIST:cone", "DRAWLIST:item-cone",
     "vrchol x, y, z, směr x, y, z, délka, poloviční úhel, rgb(r, g, b), alfa 0 až 255"},
    {"texture_quad", DRAWLIST_TEXTURE_QUAD, sizeof(DRAWLIST_TEXTURE_QUAD_DATA), "DRAWLIST:quad",
     "DRAWLIST:item-quad", "čtyři rohy x, y, z (12 čísel), \"bitmapa\""},
    {"color_quad", DRAWLIST_COLOR_QUAD, sizeof(DRAWLIST_COLOR_QUAD_DATA), "DRAWLIST:quad-color",
     "DRAWLIST:item-quad-color", "čtyři rohy x, y, z (12 čísel), rgb(r, g, b)"},
    {"color_sphere", DRAWLIST_COLOR_SPHERE, sizeof(DRAWLIST_SPHERE_DATA), "DRAWLIST:color-sphere",
     "DRAWLIST:item-color-sphere", "střed x, y, z, poloměr, rgb(r, g, b)"},
    {"color_line", DRAWLIST_COLOR_LINE, sizeof(DRAWLIST_LINE_DATA), "DRAWLIST:color-line",
     "DRAWLIST:item-color-line", "x1, y1, z1, x2, y2, z2, šířka čáry, rgb(r, g, b)"},
};

void* AllocZeroed(const char* tag, uint32_t size)
{
    MEMORY_SetTag(tag);
    void* block = POOL_Alloc(size + 1);
    if (block) memset(block, 0, size + 1);
    return block;
}

uint32_t ReadVector(VEC3* v)
{
    return IOTXT_ReadTriple(&v->x, &v->y, &v->z);
}

uint32_t ReadCorners(VEC3 corners[4])
{
    for (int i = 0; i < 4; i++) {
        if (i > 0 && !IOTXT_MatchComma()) return 0;
        if (!ReadVector(&corners[i])) return 0;
    }
    return 1;
}

uint32_t ReadCommaRgb(uint8_t color[3])
{
    return IOTXT_MatchComma() && IOTXT_ReadRgb(&color[0], &color[1], &color[2]);
}

uint32_t ReadCone(DRAWLIST_CONE_DATA* d)
{
    VEC3 direction;
    int64_t alpha;
    if (!ReadVector(&d->apex) || !IOTXT_MatchComma() || !ReadVector(&direction) || !IOTXT_MatchComma() ||
        !IOTXT_ReadDouble(&d->length) || !IOTXT_MatchComma() || !IOTXT_ReadDouble(&d->halfAngle) ||
        !ReadCommaRgb(d->color) || !IOTXT_MatchComma() || !IOTXT_ReadInt64(&alpha))
        return 0;
    if (alpha < 0 || alpha > 255) return 0;
    d->alpha = (uint8_t)alpha;
    double n = VEC_Length(&direction);
    if (n < 1e-10) n = 1e-10;
    d->axis = VEC3{direction.x / n * d->length, direction.y / n * d->length, direction.z / n * d->length};
    return 1;
}

uint32_t ReadTextureQuad(DRAWLIST_TEXTURE_QUAD_DATA* d)
{
    d->texture = -1;
    if (!ReadCorners(d->corners) || !IOTXT_MatchComma()) return 0;
    MEMORY_SetTag("DRAWLIST-bitmap-name");
    d->bitmapName = IOTXT_ReadQuotedString();
    return d->bitmapName != nullptr;
}

uint32_t ReadValues(uint32_t kind, void* data)
{
    switch (kind) {
    case DRAWLIST_SIZE: return IOTXT_ReadDouble(&static_cast<DRAWLIST_SIZE_DATA*>(data)->size);
    case DRAWLIST_SCALE: {
        auto* d = static_cast<DRAWLIST_SCALE_DATA*>(data);
        return IOTXT_ReadTriple(&d->x, &d->y, &d->z);
    }
    case DRAWLIST_CONE: return ReadCone(static_cast<DRAWLIST_CONE_DATA*>(data));
    case DRAWLIST_TEXTURE_QUAD: return ReadTextureQuad(static_cast<DRAWLIST_TEXTURE_QUAD_DATA*>(data));
    case DRAWLIST_COLOR_QUAD: {
        auto* d = static_cast<DRAWLIST_COLOR_QUAD_DATA*>(data);
        return ReadCorners(d->corners) && ReadCommaRgb(d->color);
    }
    case DRAWLIST_COLOR_SPHERE: {
        auto* d = static_cast<DRAWLIST_SPHERE_DATA*>(data);
        return ReadVector(&d->centre) && IOTXT_MatchComma() && IOTXT_ReadDouble(&d->radius) &&
               ReadCommaRgb(d->color);
    }
    case DRAWLIST_COLOR_LINE: {
        auto* d = static_cast<DRAWLIST_LINE_DATA*>(data);
        return ReadVector(&d->from) && IOTXT_MatchComma() && ReadVector(&d->to) && IOTXT_MatchComma() &&
               IOTXT_ReadDouble(&d->width) && ReadCommaRgb(d->color);
    }
    default: return 0;
    }
}

void Append(DRAWLIST_OBJECT* object, DRAWLIST_ITEM* item)
{
    DRAWLIST_ITEM** tail = &object->first;
    while (*tail) tail = &(*tail)->next;
    *tail = item;
    object->count++;
}

// The line's values into the item's record, and a texture quad's bitmap;
// 0 after one message naming the line and the file.
uint32_t ReadItemData(const DRAWLIST_KEYWORD& k, DRAWLIST_ITEM* item, const char* fileName)
{
    int line = static_cast<int>(IOTXT_GetLineNumber());
    if (!ReadValues(k.kind, item->data)) {
        LOG_Printf("DRAWLIST: chybné hodnoty položky %s na řádku %d souboru \"%s\", očekává se: %s.\n", k.word, line,
                   fileName, k.form);
        return 0;
    }
    if (k.kind != DRAWLIST_TEXTURE_QUAD) return 1;
    auto* quad = static_cast<DRAWLIST_TEXTURE_QUAD_DATA*>(item->data);
    if (DRAWLIST_LoadQuadTexture(quad->bitmapName, &quad->texture)) return 1;
    LOG_Printf("DRAWLIST: bitmapu \"%s\" nelze načíst na řádku %d souboru \"%s\".\n", quad->bitmapName, line,
               fileName);
    return 0;
}

// Reads one line's item and appends it; 0 on any failure (the item is freed).
uint32_t ReadItem(DRAWLIST_OBJECT* object, const char* fileName)
{
    for (const DRAWLIST_KEYWORD& k : kKeywords) {
        if (!IOTXT_MatchWord(k.word)) continue;
        DRAWLIST_ITEM* item = static_cast<DRAWLIST_ITEM*>(AllocZeroed(k.itemTag, sizeof(DRAWLIST_ITEM)));
        if (item) item->data = AllocZeroed(k.dataTag, k.dataSize);
        if (!item || !item->data) {
            LOG_Printf("DRAWLIST: nedostatek paměti na řádku %d souboru \"%s\".\n", IOTXT_GetLineNumber(), fileName);
            if (item) POOL_Free(item);
            return 0;
        }
        item->kind = k.kind;
        if (!ReadItemData(k, item, fileName)) {
            DRAWLIST_FreeItem(item);
            return 0;
        }
        Append(object, item);
        return 1;
    }
    LOG_Printf("DRAWLIST: neznámé slovo na řádku %d.\n", IOTXT_GetLineNumber());
    return 0;
}

}  // namespace

uint32_t DRAWLIST_Load(const char* fileName, DRAWLIST_OBJECT** out)
{
    auto* object = static_cast<DRAWLIST_OBJECT*>(AllocZeroed("DRAWLIST:drawlistobject", sizeof(DRAWLIST_OBJECT)));
    if (!object) {
        LOG_Printf("DRAWLIST: nedostatek paměti pro definici objektu ze souboru \"%s\".\n", fileName);
        return 0;
    }
    LOG_Printf("DRAWLIST: načítá se definice objektu ze souboru \"%s\".\n", fileName);
    if (!IOTXT_OpenFile(fileName)) {
        LOG_Printf("DRAWLIST: soubor \"%s\" nelze otevřít.\n", fileName);
        POOL_Free(object);
        return 0;
    }
    while (IOTXT_NextLine()) {
        if (!ReadItem(object, fileName)) {
            IOTXT_CloseFile();
            DRAWLIST_Free(object);
            return 0;
        }
    }
    IOTXT_CloseFile();
    *out = object;
    return 1;
}

void DRAWLIST_FreeItem(DRAWLIST_ITEM* item)
{
    if (!item) return;
    if (item->kind == DRAWLIST_TEXTURE_QUAD && item->data) {
        auto* d = static_cast<DRAWLIST_TEXTURE_QUAD_DATA*>(item->data);
        POOL_Free(d->bitmapName);
        DRAWLIST_DeleteQuadTexture(d->texture);
    }
    POOL_Free(item->data);
    POOL_Free(item);
}

void DRAWLIST_FreeItems(DRAWLIST_OBJECT* object)
{
    DRAWLIST_ITEM* item = object->first;
    while (item) {
        DRAWLIST_ITEM* next = item->next;
        DRAWLIST_FreeItem(item);
        item = next;
    }
    object->first = nullptr;
    object->count = 0;
}

void DRAWLIST_Free(DRAWLIST_OBJECT* object)
{
    if (!object) return;
    DRAWLIST_FreeItems(object);
    POOL_Free(object);
}

void DRAWLIST_Init() {}
void DRAWLIST_Done() {}

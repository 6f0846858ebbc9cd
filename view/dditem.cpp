// DDITEM: the "draw_data_item" block of a satellite, its binding to a module
// output and the value that output last delivered.
#include "view/dditem.h"
#include <cstring>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "simulation/satelit.h"
#include "view/ogw.h"
#include "view/scene.h"

namespace {

// What the block has given so far.
struct DDITEM_READ {
    DDITEM item;
    uint32_t typeGiven, sourceGiven, rangeGiven;
};

uint32_t Fail(const char* message)
{
    LOG_Printf(message, IOTXT_GetLineNumber());
    return 0;
}

uint32_t LineEnds()
{
    return IOTXT_IsEndOfLine() ? 1 : Fail("DDITEM: očekávám konec řádky na řádku %d.\n");
}

uint32_t ReadType(DDITEM_READ& r)
{
    if (r.typeGiven) return Fail("DDITEM: typ zobrazovaného údaje nelze definovat vícekrát na řádku %d.\n");
    if (!IOTXT_MatchEquals()) return Fail("DDITEM: za slovem TYPE očekávám rovnítko na řádku %d.\n");
    if (!IOTXT_MatchWord("MODULE_VECTOR_BODY"))
        return Fail("DDITEM: neznámý typ zobrazovaného údaje na řádku %d.\n");
    r.item.type = DDITEM_MODULE_VECTOR_BODY;
    r.typeGiven = 1;
    return LineEnds();
}

uint32_t ReadSource(DDITEM_READ& r)
{
    if (!r.typeGiven)
        return Fail("DDITEM: před určením zdroje dat musí být určen typ zobrazovaného údaje na řádku %d.\n");
    if (r.sourceGiven) return Fail("DDITEM: zdroj zobrazovaného údaje nelze definovat vícekrát na řádku %d.\n");
    if (!IOTXT_MatchEquals()) return Fail("DDITEM: za slovem SOURCE očekávám rovnítko na řádku %d.\n");
    if (!SWMODULE_ParseConnection(&r.item.source) || r.item.source.kind != SW_CONN_MODULE_OUTPUT)
        return Fail("DDITEM: chybné určení zdroje zobrazovaného údaje na řádku %d.\n");
    r.sourceGiven = 1;
    return LineEnds();
}

uint32_t ReadRange(DDITEM_READ& r)
{
    if (!r.typeGiven)
        return Fail("DDITEM: před určením rozsahu údaje musí být určen typ zobrazovaného údaje na řádku %d.\n");
    if (r.rangeGiven) return Fail("DDITEM: rozsah zobrazovaného údaje nelze definovat vícekrát na řádku %d.\n");
    if (!IOTXT_MatchEquals()) return Fail("DDITEM: za slovem RANGE očekávám rovnítko na řádku %d.\n");
    if (!IOTXT_ReadDouble(&r.item.low)) return Fail("DDITEM: chybné určení spodní meze rozsahu na řádku %d.\n");
    if (!IOTXT_MatchComma()) return Fail("DDITEM: očekávám čárku a určení horní meze rozsahu na řádku %d.\n");
    if (!IOTXT_ReadDouble(&r.item.high)) return Fail("DDITEM: chybné určení horní meze rozsahu na řádku %d.\n");
    r.rangeGiven = 1;
    return LineEnds();
}

uint32_t ReadName(DDITEM_READ& r)
{
    if (r.item.name) return Fail("DDITEM: název údaje už byl určen na řádku %d.\n");
    if (!IOTXT_MatchEquals()) return Fail("DDITEM: za slovem NAME očekávám rovnítko na řádku %d.\n");
    MEMORY_SetTag("DDITEM-name");
    r.item.name = IOTXT_ReadQuotedString();
    if (!r.item.name) return Fail("DDITEM: očekávám název údaje na řádku %d.\n");
    return LineEnds();
}

uint32_t ReadColor(DDITEM_READ& r)
{
    if (!IOTXT_MatchEquals()) return Fail("DDITEM: za slovem COLOR očekávám rovnítko na řádku %d.\n");
    uint8_t c[3];
    if (!IOTXT_ReadRgb(&c[0], &c[1], &c[2])) return Fail("DDITEM: chybné určení barvy na řádku %d.\n");
    memcpy(r.item.color, c, 3);
    return LineEnds();
}

// One statement; *ended when it was "end".
uint32_t ReadStatement(DDITEM_READ& r, uint32_t* ended)
{
    if (IOTXT_MatchWord("end")) {
        *ended = 1;
        return IOTXT_IsEndOfLine() ? 1 : Fail("DDITEM: očekávám konec řádky za slovem END na řádku %d.\n");
    }
    if (IOTXT_MatchWord("type")) return ReadType(r);
    if (IOTXT_MatchWord("source")) return ReadSource(r);
    if (IOTXT_MatchWord("range")) return ReadRange(r);
    if (IOTXT_MatchWord("name")) return ReadName(r);
    if (IOTXT_MatchWord("color")) return ReadColor(r);
    return Fail("DDITEM: neznámé slovo v definici na řádku %d.\n");
}

uint32_t Complete(const DDITEM_READ& r)
{
    if (!r.typeGiven) return Fail("DDITEM: nebyl určen typ zobrazovaného údaje na řádku %d.\n");
    if (!r.sourceGiven) return Fail("DDITEM: nebyl určen zdroj BODY vektoru modulu (source) na řádku %d.\n");
    if (!r.rangeGiven) return Fail("DDITEM: nebyl určen rozsah velikosti BODY vektoru modulu (range) na řádku %d.\n");
    return 1;
}

void FreeRead(DDITEM_READ& r)
{
    SWMODULE_FreeConnection(&r.item.source);
    POOL_Free(r.item.name);
}

}  // namespace

DDITEM* DDITEM_Parse()
{
    if (!IOTXT_IsEndOfLine()) {
        Fail("DDITEM: očekávám konec řádky na řádku %d.\n");
        return nullptr;
    }
    DDITEM_READ r{};
    memset(r.item.color, 255, 3);
    uint32_t ended = 0;
    while (!ended && IOTXT_NextLine()) {
        if (!ReadStatement(r, &ended)) {
            FreeRead(r);
            return nullptr;
        }
    }
    if (!Complete(r)) {
        FreeRead(r);
        return nullptr;
    }
    MEMORY_SetTag("DDITEM-struct");
    auto* item = static_cast<DDITEM*>(POOL_Alloc(sizeof(DDITEM) + 1));
    if (!item) {
        Fail("DDITEM: nedostatek paměti pro zobrazovaný údaj na řádku %d.\n");
        FreeRead(r);
        return nullptr;
    }
    *item = r.item;
    return item;
}

uint32_t DDITEM_Link(DDITEM* item, SATELIT* sat)
{
    if (item->type != DDITEM_MODULE_VECTOR_BODY) return 1;
    if (!SWMODULE_ResolveConnection(&item->source, sat->modules)) {
        LOG_Printf("DDITEM: chyba propojení zdroje zobrazovaného údaje na \"%s\"\n",
                   SWMODULE_ConnToText(&item->source));
        return 0;
    }
    if (!SWMODULE_ConnIsVector3(&item->source)) {
        LOG_Printf("DDITEM: chyba propojení datového údaje, \"%s\" je chybného typu\n",
                   SWMODULE_ConnToText(&item->source));
        return 0;
    }
    if (!SWMODULE_RegisterReferer(&item->source, item, DDITEM_REFERER_TAG, DDITEM_OnModuleOutput)) {
        LOG_Printf("DDITEM: chyba zapojení odkazu datového údaje, \"%s\"\n", SWMODULE_ConnToText(&item->source));
        return 0;
    }
    return 1;
}

// Module runs happen outside the window library's lock, under which the
// frame's snapshot copies the vector: the write takes it, so no frame sees
// half of a new value.
void DDITEM_OnModuleOutput(uint32_t phase, void* owner, uint32_t, SW_VALUE* value)
{
    if (phase != 2 || !value) return;
    bool drawing = g_scene.window != nullptr;
    if (drawing) OGW_Lock();
    SWTYPE_GetVector3(value, static_cast<DDITEM*>(owner)->vector);
    if (drawing) OGW_Unlock();
}

double DDITEM_ArrowLength(const DDITEM* item, double length, double s)
{
    if (length < item->low) return s;
    if (item->high > item->low && length <= item->high)
        return s + 3.0 * s * (length - item->low) / (item->high - item->low);
    return 4.0 * s;
}

void DDITEM_SnapshotForDrawing(DDITEM* item)
{
    memcpy(item->drawnVector, item->vector, sizeof item->drawnVector);
}

void DDITEM_Free(DDITEM* item)
{
    if (!item) return;
    SWMODULE_FreeConnection(&item->source);
    POOL_Free(item->name);
    POOL_Free(item);
}

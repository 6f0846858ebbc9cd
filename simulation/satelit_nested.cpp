// SAT: the nested definitions of a "satelit" block. On-board modules, coils,
// drawn data items and mass and surface models are read by their modules and
// kept in the satellite's lists; the built-in controllers are single lines
// read here.
#include <strings.h>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "onboard/swmodule.h"
#include "simulation/coil.h"
#include "simulation/controllers.h"
#include "simulation/massmodel.h"
#include "simulation/satelit.h"
#include "simulation/satelit_parse_internal.h"
#include "simulation/surfmodel.h"
#include "view/dditem.h"

static uint32_t Fail(const char* format)
{
    LOG_Printf(format, static_cast<int>(IOTXT_GetLineNumber()));
    return 0;
}

// Model names are unique within a satellite's list, compared without regard to case.
static uint32_t AddMassModel(SATELIT* sat)
{
    MASSMODEL* model = MASSMODEL_Load();
    if (!model) return Fail("SAT: načtení modelu hmoty tělesa bylo neúspěšné na řádku %d.\n");
    MASSMODEL** tail = &sat->massModels;
    for (; *tail; tail = &(*tail)->next) {
        if (strcasecmp((*tail)->name, model->name) != 0) continue;
        MASSMODEL_Free(model);
        return Fail("SAT: název hmotného modelu byl již použit na řádku %d.\n");
    }
    *tail = model;
    return 1;
}

static uint32_t AddSurfaceModel(SATELIT* sat)
{
    SURFMODEL* model = nullptr;
    if (!SURFMODEL_ParseDefinition(&model)) return Fail("SAT: načtení modelu povrchu tělesa bylo neúspěšné na řádku %d.\n");
    SURFMODEL** tail = &sat->surfaceModels;
    for (; *tail; tail = &(*tail)->next) {
        if (strcasecmp((*tail)->name, model->name) != 0) continue;
        SURFMODEL_Free(model);
        return Fail("SAT: název povrchového modelu byl již použit na řádku %d.\n");
    }
    *tail = model;
    return 1;
}

struct SAT_CONTROLLER_KEY {
    const char* word;
    const char* twice;
    const char* refused;
};

static const SAT_CONTROLLER_KEY kBdotKey{
    "internal_b_dot_controller",
    "SAT: konfigurace B-dot regulátoru už byl zadána na řádku %d konfiguračního souboru.\n",
    "SAT: b-dot regulátor byl specifikován nesprávně na řádku %d konfiguračního souboru.\n"};
static const SAT_CONTROLLER_KEY kBcrossKey{
    "internal_b_cross_controller",
    "SAT: konfigurace B-cross regulátoru už byl zadána na řádku %d konfiguračního souboru.\n",
    "SAT: b-cross regulátor byl specifikován nesprávně na řádku %d konfiguračního souboru.\n"};

// One controller line: given once, its parameters after "=".
static uint32_t ParseController(const SAT_CONTROLLER_KEY& key, uint32_t* given, BDOT_CONTROLLER* block,
                                uint32_t (*parse)(BDOT_CONTROLLER*))
{
    if (*given) {
        LOG_Printf(key.twice, IOTXT_GetLineNumber());
        return 0;
    }
    if (!SAT_ExpectEquals()) return 0;
    if (!parse(block)) {
        LOG_Printf(key.refused, IOTXT_GetLineNumber());
        return 0;
    }
    *given = 1;
    return 1;
}

// A coil joins the tail of the satellite's list; its name must be new there.
static uint32_t AddCoil(SATELIT* sat)
{
    COIL* coil = COIL_Parse(sat);
    if (!coil) return Fail("SAT: načtení modelu palubní cívky bylo neúspěšné na řádku %d.\n");
    COIL** tail = &sat->coils;
    for (; *tail; tail = &(*tail)->next) {
        if (strcasecmp((*tail)->name, coil->name) != 0) continue;
        COIL_Free(coil);
        return Fail("SAT: model cívky tímto jménem už v satelitu existuje na řádku %d.\n");
    }
    *tail = coil;
    return 1;
}

// An on-board module joins the tail of the satellite's list; its name must be
// new there.
static uint32_t AddOnboardModule(SATELIT* sat)
{
    SWMODULE* module = SWMODULE_ParseDefinition();
    if (!module) return Fail("SAT: načtení palubního SW modulu bylo neúspěšné na řádku %d.\n");
    if (SWMODULE_FindByName(sat->modules, module->name)) {
        SWMODULE_Destroy(module);
        return Fail("SAT: palubní SW modul s tímto jménem už v satelitu existuje na řádku %d.\n");
    }
    SWMODULE** tail = &sat->modules;
    while (*tail) tail = &(*tail)->next;
    *tail = module;
    return 1;
}

// A data item joins the tail of the satellite's list, in definition order.
static uint32_t AddDataItem(SATELIT* sat)
{
    DDITEM* item = DDITEM_Parse();
    if (!item) return Fail("SAT: načtení zobrazovaného údaje bylo neúspěšné na řádku %d.\n");
    DDITEM** tail = &sat->dataItems;
    while (*tail) tail = &(*tail)->next;
    *tail = item;
    return 1;
}

uint32_t SAT_ParseNestedKeyword(SATELIT* sat, uint32_t* handled)
{
    *handled = 1;
    if (IOTXT_MatchWord(kBdotKey.word)) return ParseController(kBdotKey, &sat->bdotGiven, &sat->bdot, BDOT_ParseParams);
    if (IOTXT_MatchWord(kBcrossKey.word)) {
        return ParseController(kBcrossKey, &sat->bcrossGiven, &sat->bcross, BCROSS_ParseParams);
    }
    if (IOTXT_MatchWord("mass_model")) return AddMassModel(sat);
    if (IOTXT_MatchWord("surface_model")) return AddSurfaceModel(sat);
    if (IOTXT_MatchWord("onboard_module")) return AddOnboardModule(sat);
    if (IOTXT_MatchWord("coil")) return AddCoil(sat);
    if (IOTXT_MatchWord("draw_data_item")) return AddDataItem(sat);
    *handled = 0;
    return 0;
}

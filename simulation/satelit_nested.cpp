// SAT: the nested definitions of a "satelit" block. Their readers belong to the
// on-board modules, coils, mass and surface models, controllers and drawn data
// items; on-board modules are read, and until a satellite can own the other
// objects, each such definition is reported once and passed over, so the rest
// of the block still loads.
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "onboard/swmodule.h"
#include "simulation/satelit.h"
#include "simulation/satelit_parse_internal.h"

// Passes over the lines of a nested block up to and including its "end".
static void SkipBlock()
{
    while (IOTXT_NextLine()) {
        if (IOTXT_MatchWord("end")) return;
    }
}

struct SAT_NESTED_KEY {
    const char* word;
    bool block;  // a block closed by "end"; otherwise a single line
};

// An on-board module joins the tail of the satellite's list; its name must be
// new there.
static uint32_t ParseOnboardModule(SATELIT* sat)
{
    SWMODULE* module = SWMODULE_ParseDefinition();
    if (!module) {
        LOG_Printf("SAT: načtení palubního SW modulu bylo neúspěšné na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    if (SWMODULE_FindByName(sat->modules, module->name)) {
        SWMODULE_Destroy(module);
        LOG_Printf("SAT: palubní SW modul s tímto jménem už v satelitu existuje na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    SWMODULE** tail = &sat->modules;
    while (*tail) tail = &(*tail)->next;
    *tail = module;
    return 1;
}

static const SAT_NESTED_KEY kNested[] = {
    {"coil", true},
    {"draw_data_item", true},
    {"mass_model", false},
    {"surface_model", false},
    {"internal_b_dot_controller", false},
    {"internal_b_cross_controller", false},
};

uint32_t SAT_ParseNestedKeyword(SATELIT* sat, uint32_t* handled)
{
    if (IOTXT_MatchWord("onboard_module")) {
        *handled = 1;
        return ParseOnboardModule(sat);
    }
    for (const SAT_NESTED_KEY& key : kNested) {
        if (!IOTXT_MatchWord(key.word)) continue;
        *handled = 1;
        LOG_Printf("SAT: definice \"%s\" na řádku %d se v této verzi nenačítá, přeskakuji ji.\n", key.word,
                   IOTXT_GetLineNumber());
        if (key.block) SkipBlock();
        return 1;
    }
    *handled = 0;
    return 0;
}

// SAT: the nested definitions of a "satelit" block. Their readers belong to the
// on-board modules, coils, mass and surface models, controllers and drawn data
// items; until a satellite can own such objects, each definition is reported
// once and passed over, so the rest of the block still loads.
#include "foundation/iotxt.h"
#include "foundation/log.h"
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

static const SAT_NESTED_KEY kNested[] = {
    {"onboard_module", true},
    {"coil", true},
    {"draw_data_item", true},
    {"mass_model", false},
    {"surface_model", false},
    {"internal_b_dot_controller", false},
    {"internal_b_cross_controller", false},
};

uint32_t SAT_ParseNestedKeyword(SATELIT*, uint32_t* handled)
{
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

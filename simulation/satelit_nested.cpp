// SAT: the nested definitions of a "satelit" block. Their readers belong to the
// on-board modules, coils, mass and surface models, controllers and drawn data
// items; the built-in controllers are single lines read here. Definitions whose
// objects a satellite cannot own yet are reported once and passed over, so the
// rest of the block still loads.
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "simulation/controllers.h"
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
};

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

uint32_t SAT_ParseNestedKeyword(SATELIT* sat, uint32_t* handled)
{
    *handled = 1;
    if (IOTXT_MatchWord(kBdotKey.word)) return ParseController(kBdotKey, &sat->bdotGiven, &sat->bdot, BDOT_ParseParams);
    if (IOTXT_MatchWord(kBcrossKey.word)) {
        return ParseController(kBcrossKey, &sat->bcrossGiven, &sat->bcross, BCROSS_ParseParams);
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

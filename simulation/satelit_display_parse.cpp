// SAT: the display keywords of a "satelit" block: switches, colours, borders,
// projections and the graphics model.
#include <cstddef>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "simulation/satelit.h"
#include "simulation/satelit_parse_internal.h"
#include "view/drawlist.h"
#include "view/ogw.h"

static uint32_t Line() { return IOTXT_GetLineNumber(); }

static uint32_t Fail(const char* format)
{
    LOG_Printf(format, Line());
    return 0;
}

struct SAT_SWITCH_KEY {
    const char* word;
    const char* upper;
    uint32_t SATELIT::*field;
};

static const SAT_SWITCH_KEY kSwitches[] = {
    {"draw_history", "DRAW_HISTORY", &SATELIT::orbitHistoryOn},
    {"draw_title_info", "DRAW_TITLE_INFO", &SATELIT::drawTitleInfo},
    {"track_line", "TRACK_LINE", &SATELIT::trackLine},
    {"sun_vector", "SUN_VECTOR", &SATELIT::sunVector},
    {"mag_vector", "MAG_VECTOR", &SATELIT::magVector},
    {"mag_vector_components", "MAG_VECTOR_COMPONENTS", &SATELIT::magVectorComponents},
    {"mag_vector_history", "MAG_VECTOR_HISTORY", &SATELIT::fieldHistoryOn},
    {"draw_linear_velocity", "DRAW_LINEAR_VELOCITY", &SATELIT::linearVelocity},
    {"local_eci_axes", "LOCAL_ECI_AXES", &SATELIT::localEciAxes},
    {"local_mag_axes", "LOCAL_MAG_AXES", &SATELIT::localMagAxes},
    {"local_body_axes", "LOCAL_BODY_AXES", &SATELIT::localBodyAxes},
    {"local_orbit_axes", "LOCAL_ORBIT_AXES", &SATELIT::localOrbitAxes},
    {"principal_inertia_axes", "PRINCIPAL_INERTIA_AXES", &SATELIT::principalInertiaAxes},
    {"draw_rotation_axis", "DRAW_ROTATION_AXIS", &SATELIT::rotationAxis},
    {"draw_angular_velocity", "DRAW_ANGULAR_VELOCITY", &SATELIT::angularVelocity},
    {"draw_gravity_torque", "DRAW_GRAVITY_TORQUE", &SATELIT::drawGravityTorque},
    {"draw_solar_torque", "DRAW_SOLAR_TORQUE", &SATELIT::drawSolarTorque},
    {"draw_drag_torque", "DRAW_DRAG_TORQUE", &SATELIT::drawDragTorque},
    {"draw_magnetic_torque", "DRAW_MAGNETIC_TORQUE", &SATELIT::drawMagneticTorque},
    {"draw_magnetic_dipole", "DRAW_MAGNETIC_DIPOLE", &SATELIT::drawMagneticDipole},
    {"draw_total_torque", "DRAW_TOTAL_TORQUE", &SATELIT::drawTotalTorque},
    {"draw_sun_projection", "DRAW_SUN_PROJECTION", &SATELIT::drawSunProjection},
    {"draw_drag_projection", "DRAW_DRAG_PROJECTION", &SATELIT::drawDragProjection},
    {"info_window", "INFO_WINDOW", &SATELIT::infoWindowWanted},
    {"gravity_torque", "GRAVITY_TORQUE", &SATELIT::gravityTorque},
    {"magnetic_torque", "MAGNETIC_TORQUE", &SATELIT::magneticTorque},
    {"solar_torque", "SOLAR_TORQUE", &SATELIT::solarTorque},
    {"drag_torque", "DRAG_TORQUE", &SATELIT::dragTorque},
};

static uint32_t ParseSwitch(SATELIT* sat, const SAT_SWITCH_KEY& key)
{
    if (!SAT_ExpectEquals()) return 0;
    uint32_t value;
    if (!IOTXT_ReadBool(&value)) {
        LOG_Printf("SAT: chybně zadaný parametr %s na řádku %d.\n", key.upper, Line());
        return 0;
    }
    sat->*key.field = value;
    return SAT_ExpectEndOfLine();
}

static uint32_t ReadColor(SAT_COLOR* color)
{
    return IOTXT_ReadRgb(&color->r, &color->g, &color->b);
}

struct SAT_COLOR_KEY {
    const char* word;
    const char* bad;
    SAT_COLOR SATELIT::*field;
};

static const SAT_COLOR_KEY kColors[] = {
    {"track_color", "SAT: chybně zadaný parametr TRACK_COLOR na řádku %d.\n", &SATELIT::trackColor},
    {"sun_vector_color", "SAT: chybně zadaný parametr SUN_VECTOR_COLOR na řádku %d.\n", &SATELIT::sunVectorColor},
    {"mag_vector_color", "SAT: chybně zadaný parametr MAG_VECTOR_COLOR na řádku %d.\n", &SATELIT::magVectorColor},
    {"sun_projection_color", "SAT: očekávám barvu pro zobrazování projekce na řádku %d.\n", &SATELIT::sunProjectionColor},
    {"drag_projection_color", "SAT: očekávám barvu pro zobrazování projekce na řádku %d.\n", &SATELIT::dragProjectionColor},
};

static uint32_t ParseColor(SATELIT* sat, const SAT_COLOR_KEY& key)
{
    if (!SAT_ExpectEquals()) return 0;
    if (!ReadColor(&(sat->*key.field))) return Fail(key.bad);
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseVisibilityBorder(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    if (!ReadColor(&sat->visibilityColor)) return Fail("SAT: chybně zadaný parametr VISIBILITY_BORDER na řádku %d.\n");
    sat->visibilityBorder = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseDistanceBorder(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    if (sat->distanceBorderCount >= SAT_MAX_DISTANCE_BORDERS) {
        return Fail("SAT: překročen maximální počet zobrazovaných oblastí max. vzdálenosti na řádku %d.\n");
    }
    SAT_DISTANCE_BORDER border{};
    if (!IOTXT_ReadDouble(&border.distanceKm)) return Fail("SAT: chybně zadaná max. vzdálenost na řádku %d.\n");
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka za max. vzdáleností na řádku %d.\n");
    if (!ReadColor(&border.color)) return Fail("SAT: chybně zadaná barva hranice max. vzdálenosti na řádku %d.\n");
    sat->distanceBorders[sat->distanceBorderCount++] = border;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseProjectionDistance(double* out)
{
    if (!SAT_ExpectEquals()) return 0;
    double value;
    if (!IOTXT_ReadDouble(&value)) return Fail("SAT: očekávám hodnotu vzdálenosti zobrazování projekce na řádku %d.\n");
    if (!(value >= 1.0 && value <= 100.0)) return Fail("SAT: chybná hodnota vzdálenosti zobrazování projekce na řádku %d.\n");
    *out = value;
    return SAT_ExpectEndOfLine();
}

// ---- graphics_model ---------------------------------------------------------

static uint32_t ReadSize(double* out, const char* bad, const char* range)
{
    if (!IOTXT_ReadDouble(out)) return Fail(bad);
    if (!(*out >= 0.01 && *out <= 5000.0)) return Fail(range);
    return 1;
}

static uint32_t ReadSphere(SATELIT* sat, uint32_t model)
{
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka a rádius na řádku %d.\n");
    if (!ReadSize(&sat->radius, "SAT: chybně vložený rádius na řádku %d.\n", "SAT: chybná hodnota poloměru na řádku %d.\n")) return 0;
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka a určení barvy na řádku %d.\n");
    if (!ReadColor(&sat->modelColor)) return Fail("SAT: chybně určená barva na řádku %d.\n");
    sat->graphicsModel = model;
    return 1;
}

// The texture is loaded now into the 3-D window whose context the run start
// has made current; without a window the satellite keeps no texture.
static uint32_t ReadTextureName(SATELIT* sat, MEMORY_TAG tag)
{
    MEMORY_SetTag(tag);
    char* name = IOTXT_ReadQuotedString();
    if (!name) return Fail("SAT: očekává se název souboru textury na řádku %d.\n");
    if (sat->textureFileName) POOL_Free(sat->textureFileName);
    sat->textureFileName = name;
    sat->texture = -1;
    if (!OGW_GetCurrentWindow()) return 1;
    sat->texture = OGW_LoadTexture(name);
    if (sat->texture < 0) return Fail("SAT: chyba načtení souboru textury na řádku %d.\n");
    return 1;
}

static uint32_t ReadTexturedSphere(SATELIT* sat, uint32_t model, MEMORY_TAG tag)
{
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka a rádius na řádku %d.\n");
    if (!ReadSize(&sat->radius, "SAT: chybně vložený rádius na řádku %d.\n", "SAT: chybná hodnota poloměru na řádku %d.\n")) return 0;
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka a n8zev souboru textury na řádku %d.\n");
    if (!ReadTextureName(sat, tag)) return 0;
    sat->graphicsModel = model;
    return 1;
}

static uint32_t ReadBillboard(SATELIT* sat)
{
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka a rádius na řádku %d.\n");
    if (!ReadSize(&sat->billboardSize[0], "SAT: chybně vložená hodnota DX na řádku %d.\n", "SAT: chybná hodnota DX na řádku %d.\n")) return 0;
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka a n8zev souboru textury na řádku %d.\n");
    if (!ReadSize(&sat->billboardSize[1], "SAT: chybně vložená hodnota DY na řádku %d.\n", "SAT: chybná hodnota DY na řádku %d.\n")) return 0;
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka a název souboru textury na řádku %d.\n");
    if (!ReadTextureName(sat, "SATELIT-billboard-name")) return 0;
    sat->graphicsModel = SAT_GRAPHICS_BILLBOARD;
    return 1;
}

// The user-drawn shape is read now by the draw-list loader; a file that does
// not load (missing, a bad value, a bitmap that does not load) fails the line
// here. The file name is released in both outcomes.
static uint32_t ReadUserModel(SATELIT* sat)
{
    if (!IOTXT_MatchComma()) return Fail("SAT: očekává se čárka a název definičního souboru grafiky na řádku %d.\n");
    MEMORY_SetTag("SATELIT-user-graphics-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) return Fail("SAT: očekává se název definičního souboru grafiky na řádku %d.\n");
    DRAWLIST_Free(sat->userModel);
    sat->userModel = nullptr;
    uint32_t loaded = DRAWLIST_Load(name, &sat->userModel);
    POOL_Free(name);
    if (!loaded) return Fail("SAT: chyba načtení definičního souboru grafiky na řádku %d.\n");
    sat->graphicsModel = SAT_GRAPHICS_USER;
    return 1;
}

static uint32_t ReadGraphicsValue(SATELIT* sat)
{
    if (IOTXT_MatchWord("SPHERESHADEDTEXTURED")) {
        return ReadTexturedSphere(sat, SAT_GRAPHICS_SPHERESHADEDTEXTURED, "SATELIT-sphere-shadetexture-name");
    }
    if (IOTXT_MatchWord("SPHERETEXTURED")) {
        return ReadTexturedSphere(sat, SAT_GRAPHICS_SPHERETEXTURED, "SATELIT-sphere-texture-name");
    }
    if (IOTXT_MatchWord("SPHERESHADED")) return ReadSphere(sat, SAT_GRAPHICS_SPHERESHADED);
    if (IOTXT_MatchWord("SPHERE")) return ReadSphere(sat, SAT_GRAPHICS_SPHERE);
    if (IOTXT_MatchWord("BILLBOARD")) return ReadBillboard(sat);
    if (IOTXT_MatchWord("USER")) return ReadUserModel(sat);
    return Fail("SAT: neznámý grafický model na řádku %d.\n");
}

static uint32_t ParseGraphicsModel(SATELIT* sat)
{
    if (g_satParseFlags.graphicsModel) return Fail("SAT: grafický model již byl určen na řádku %d.\n");
    g_satParseFlags.graphicsModel = 1;
    if (!SAT_ExpectEquals()) return 0;
    if (!ReadGraphicsValue(sat)) return 0;
    return SAT_ExpectEndOfLine();
}

uint32_t SAT_ParseDisplayKeyword(SATELIT* sat, uint32_t* handled)
{
    *handled = 1;
    for (const SAT_SWITCH_KEY& key : kSwitches) {
        if (IOTXT_MatchWord(key.word)) return ParseSwitch(sat, key);
    }
    for (const SAT_COLOR_KEY& key : kColors) {
        if (IOTXT_MatchWord(key.word)) return ParseColor(sat, key);
    }
    if (IOTXT_MatchWord("visibility_border")) return ParseVisibilityBorder(sat);
    if (IOTXT_MatchWord("distance_border")) return ParseDistanceBorder(sat);
    if (IOTXT_MatchWord("sun_projection_distance")) return ParseProjectionDistance(&sat->sunProjectionDistance);
    if (IOTXT_MatchWord("drag_projection_distance")) return ParseProjectionDistance(&sat->dragProjectionDistance);
    if (IOTXT_MatchWord("graphics_model")) return ParseGraphicsModel(sat);
    *handled = 0;
    return 0;
}

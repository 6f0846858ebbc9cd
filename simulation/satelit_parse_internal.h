// Parser state shared by the files that read a "satelit" block.
#pragma once
#include <cstdint>

struct SATELIT;

constexpr int SAT_KEPLER_VALUE_COUNT = 7;
constexpr int SAT_KEPLER_TIME_INDEX = 6;

// Which values of the block being read were already given.
struct SAT_PARSE_FLAGS {
    uint32_t tle;
    uint32_t vectors;
    uint32_t position;
    uint32_t velocity;
    uint32_t kepler;
    uint32_t keplerValue[SAT_KEPLER_VALUE_COUNT];
    uint32_t dotMeanMotion;
    uint32_t dotMeanMotionAuto;
    uint32_t graphicsModel;
    uint32_t fieldModel;
    uint32_t atmosphereModel;
    uint32_t attitude;
    uint32_t attitudeModel;
    uint32_t rotationAxis;
    uint32_t angularVelocity;
    uint32_t residualDipole;
    uint32_t permanentMagnet;
};

extern SAT_PARSE_FLAGS g_satParseFlags;

uint32_t SAT_ExpectEndOfLine();
uint32_t SAT_ExpectEquals();
// Display switches, colours, borders, projections and the graphics model.
uint32_t SAT_ParseDisplayKeyword(SATELIT* sat, uint32_t* handled);
// Nested definitions (modules, coils, mass and surface models, controllers, data items).
uint32_t SAT_ParseNestedKeyword(SATELIT* sat, uint32_t* handled);

// SPACE: the star field of "Space.cfg": constellations with their stars, the
// lines that join them and the position of their names.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"

struct SPACE_STAR {
    char* name;
    double rightAscension;     // degrees
    double declination;        // degrees
    uint32_t colorIndex;       // 0..23
    double magnitude;
    double reserved;
    VEC3 direction;            // unit direction x 1e10
    VEC3 sceneDirection;       // the direction at the star sphere's radius, scene units
    VEC3 drawnPosition;        // where the last frame drew it
    double size;               // sprite size, scene units
    uint8_t color[3];
    uint32_t number;
    SPACE_STAR* next;
};

struct SPACE_STAR_LINE {
    SPACE_STAR* from;
    SPACE_STAR* to;
};

struct SPACE_CONSTELLATION {
    char* name;
    double nameRightAscension;
    double nameDeclination;
    uint32_t starCount;
    SPACE_STAR** stars;
    uint32_t lineCount;
    SPACE_STAR_LINE* lines;
    SPACE_CONSTELLATION* next;
};

enum SPACE_FILTER_FLAG : uint32_t {
    SPACE_FILTER_NAME = 1,
    SPACE_FILTER_POSITION = 2,
    SPACE_FILTER_COLOR1 = 4,
    SPACE_FILTER_COLOR2 = 8,
    SPACE_FILTER_COLOR3 = 16,
    SPACE_FILTER_COLOR4 = 32,
    SPACE_FILTER_MAGNITUDE = 64,
};

struct SPACE_STAR_FILTER {
    uint32_t flags;
    const char* name;
    double raMin, raMax;
    double decMin, decMax;
    uint32_t colorIndex[4];
    double magnitudeMin, magnitudeMax;
};

constexpr uint32_t SPACE_MAX_STARS = 64;
constexpr uint32_t SPACE_MAX_LINES = 64;
constexpr double SPACE_STAR_SPHERE_RADIUS = 10000.0;   // scene units

void SPACE_LoadConfig();
void SPACE_Free();
SPACE_CONSTELLATION* SPACE_GetConstellations();
SPACE_STAR* SPACE_GetStars();
void SPACE_StarColor(uint32_t colorIndex, uint8_t* r, uint8_t* g, uint8_t* b);
// Reads a spectral class (a letter O B A F G K M and an optional digit) at the
// reader's position; 0 when the letter is none of them.
uint32_t SPACE_ParseSpectralClass(uint32_t* colorIndex);
// Direction, scene direction, size and colour of every star.
void SPACE_PrepareStars();
void SPACE_PrepareStar(SPACE_STAR* star);
void SPACE_QueryStars(const SPACE_STAR_FILTER* filter);
SPACE_STAR* SPACE_NextStar();

// GROUND: the ground stations of "Ground.cfg", their positions on the rotating
// Earth and their observations of a satellite.
#include "simulation/ground.h"
#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>
#include <cstdio>
#include <strings.h>
#include "foundation/constants.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "models/ephemeris.h"
#include "simulation/orbit.h"
#include "simulation/satelit.h"
#include "simulation/satelit_access.h"
#include "simulation/sats.h"
#include "view/gldraw.h"

namespace {

constexpr double kDefaultAntennaAngle = 30.0;
constexpr GROUND_COLOR kDefaultObserverLineColor{186, 199, 242};
constexpr GROUND_COLOR kDefaultTransmitterConeColor{191, 205, 251};
// Below this sine of the angle between the line of sight and the vertical the
// satellite counts as overhead: its horizontal direction cannot be normalised.
constexpr double kZenithSine = 1e-12;
// Names are cut in labels so that the numbers always fit.
constexpr int kLabelNameChars = 100;

GROUND_STATION* s_first = nullptr;
GROUND_STATION* s_last = nullptr;
double s_drawScale = 0.0;          // scene units per km
uint32_t s_labelFont = 0xFFFFFFFF;
GLUquadric* s_quadric = nullptr;

// Drawing sizes in km.
constexpr double kMarkerRadius = 5.0;
constexpr double kLabelHeight = 10.0;
constexpr double kAxisLength = 1000.0;
constexpr double kConeLength = 50.0;
constexpr uint8_t kConeAlpha = 110;

uint32_t LineError(const char* format)
{
    LOG_Printf(format, (int)IOTXT_GetLineNumber());
    return 0;
}

double Clamp(double x, double lo, double hi) { return x < lo ? lo : (x > hi ? hi : x); }

// ---------------------------------------------------------------- the file

// What a "station" block has said so far.
struct STATION_DRAFT {
    GROUND_STATION station;
    uint32_t longitudeGiven;
    uint32_t latitudeGiven;
    uint32_t antennaGiven;
    uint32_t correctionGiven;
};

struct REAL_KEYWORD {
    const char* word;
    double GROUND_STATION::* field;
    uint32_t STATION_DRAFT::* given;
    const char* once;
    const char* noEquals;
    const char* badValue;
};

const REAL_KEYWORD kRealKeywords[] = {
    {"longitude", &GROUND_STATION::longitude, &STATION_DRAFT::longitudeGiven,
     "GROUND: zeměpisná délka stanice smí být určena jen jednou na řádku %d.\n",
     "GROUND: očekávám rovnítko a určení zeměpisné délky stanice na řádku %d.\n",
     "GROUND: chybné určení zaměpisné délky stanice na řádku %d.\n"},
    {"latitude", &GROUND_STATION::latitude, &STATION_DRAFT::latitudeGiven,
     "GROUND: zeměpisná šířka stanice smí být určena jen jednou na řádku %d.\n",
     "GROUND: očekávám rovnítko a určení zeměpisné šířky stanice na řádku %d.\n",
     "GROUND: chybné určení zaměpisné šířky stanice na řádku %d.\n"},
    {"antenna_angle", &GROUND_STATION::antennaAngle, &STATION_DRAFT::antennaGiven,
     "GROUND: vyzařovací úhel antény smí být určen jen jednou na řádku %d.\n",
     "GROUND: očekávám rovnítko a určení vyzařovacího úhlu antény na řádku %d.\n",
     "GROUND: chybné určení vyzařovacího úhlu antény na řádku %d.\n"},
    {"altitude_draw_correction", &GROUND_STATION::altitudeDrawCorrection, &STATION_DRAFT::correctionGiven,
     "GROUND: korekce výšky smí být určena jen jednou na řádku %d.\n",
     "GROUND: očekávám rovnítko a určení korekce výšky na řádku %d.\n",
     "GROUND: chybné určení korekce výšky na řádku %d.\n"},
};

struct SWITCH_KEYWORD {
    const char* word;
    uint32_t GROUND_STATION::* field;
    const char* noEquals;
    const char* badValue;
};

const SWITCH_KEYWORD kSwitchKeywords[] = {
    {"draw_observer_line", &GROUND_STATION::drawObserverLine,
     "GROUND: očekávám rovnítko a příznak kreslení linky k satelitu na řádku %d.\n",
     "GROUND: chybné určení příznaku kreslení linky k satelitu na řádku %d.\n"},
    {"draw_transmitter_cone", &GROUND_STATION::drawTransmitterCone,
     "GROUND: očekávám rovnítko a příznak kreslení kužele vysílače na řádku %d.\n",
     "GROUND: chybné určení příznaku kreslení kužele vysílače na řádku %d.\n"},
    {"draw_ground_axes", &GROUND_STATION::drawGroundAxes,
     "GROUND: očekávám rovnítko a příznak kreslení pozemních os na řádku %d.\n",
     "GROUND: chybné určení příznaku kreslení pozemních os na řádku %d.\n"},
};

struct COLOR_KEYWORD {
    const char* word;
    GROUND_COLOR GROUND_STATION::* field;
    const char* noEquals;
    const char* badValue;
};

const COLOR_KEYWORD kColorKeywords[] = {
    {"observer_line_color", &GROUND_STATION::observerLineColor,
     "GROUND: očekávám rovnítko a určení barvy linky k satelitu na řádku %d.\n",
     "GROUND: chybné určení barvy linky k satelitu na řádku %d.\n"},
    {"transmitter_cone_color", &GROUND_STATION::transmitterConeColor,
     "GROUND: očekávám rovnítko a určení barvy kuželu vysílače na řádku %d.\n",
     "GROUND: chybné určení barvy kuželu vysílače na řádku %d.\n"},
};

uint32_t EndOfValueLine()
{
    if (!IOTXT_IsEndOfLine()) return LineError("GROUND: očekává se konec řádku na řádku %d.\n");
    return 1;
}

uint32_t ParseReal(STATION_DRAFT* draft, const REAL_KEYWORD& k)
{
    if (draft->*k.given) return LineError(k.once);
    if (!IOTXT_MatchEquals()) return LineError(k.noEquals);
    if (!IOTXT_ReadDouble(&(draft->station.*k.field))) return LineError(k.badValue);
    draft->*k.given = 1;
    return EndOfValueLine();
}

uint32_t ParseSwitch(STATION_DRAFT* draft, const SWITCH_KEYWORD& k)
{
    if (!IOTXT_MatchEquals()) return LineError(k.noEquals);
    if (!IOTXT_ReadBool(&(draft->station.*k.field))) return LineError(k.badValue);
    return EndOfValueLine();
}

uint32_t ParseColor(STATION_DRAFT* draft, const COLOR_KEYWORD& k)
{
    GROUND_COLOR& color = draft->station.*k.field;
    if (!IOTXT_MatchEquals()) return LineError(k.noEquals);
    if (!IOTXT_ReadRgb(&color.r, &color.g, &color.b)) return LineError(k.badValue);
    return EndOfValueLine();
}

// One line inside a station block; *ended is set at its "end" line.
uint32_t ParseStationLine(STATION_DRAFT* draft, uint32_t* ended)
{
    for (const REAL_KEYWORD& k : kRealKeywords)
        if (IOTXT_MatchWord(k.word)) return ParseReal(draft, k);
    for (const SWITCH_KEYWORD& k : kSwitchKeywords)
        if (IOTXT_MatchWord(k.word)) return ParseSwitch(draft, k);
    for (const COLOR_KEYWORD& k : kColorKeywords)
        if (IOTXT_MatchWord(k.word)) return ParseColor(draft, k);
    if (IOTXT_MatchWord("end")) {
        if (!IOTXT_IsEndOfLine())
            return LineError("GROUND: za slovem 'end' se očekává konec řádku na řádku %d.\n");
        *ended = 1;
        return 1;
    }
    return LineError("GROUND: neznámé slovo v definici pozemní stanice na řádku %d.\n");
}

uint32_t Fail(const char* message)
{
    LOG_Printf("%s", message);
    return 0;
}

uint32_t CheckStation(STATION_DRAFT* draft)
{
    const GROUND_STATION& s = draft->station;
    if (!draft->longitudeGiven) return Fail("GROUND: nebyla určena zeměpisná délka stanice.\n");
    if (s.longitude < -180.0 || s.longitude > 180.0) return Fail("GROUND: chybná hodnota zeměpisné délky stanice.\n");
    if (!draft->latitudeGiven) return Fail("GROUND: nebyla určena zeměpisná šířka stanice.\n");
    if (s.latitude < -90.0 || s.latitude > 90.0) return Fail("GROUND: chybná hodnota zeměpisné šířky stanice.\n");
    if (!draft->antennaGiven) {
        LOG_Printf("GROUND: nebyl určen vyzařovací úhel antény, použije se default hodnota 30 stupňů.\n");
        draft->station.antennaAngle = kDefaultAntennaAngle;
    }
    if (!draft->correctionGiven) draft->station.altitudeDrawCorrection = 0.0;
    return 1;
}

uint32_t AppendStation(const GROUND_STATION& draft)
{
    MEMORY_SetTag("DRAWLIST:ground-station");
    GROUND_STATION* station = static_cast<GROUND_STATION*>(POOL_Alloc(sizeof(GROUND_STATION) + 1));
    if (!station) return Fail("GROUND: nedostatek paměti.\n");
    *station = draft;
    station->next = nullptr;
    if (s_last) s_last->next = station;
    else s_first = station;
    s_last = station;
    return 1;
}

uint32_t ParseStationBlock(STATION_DRAFT* draft)
{
    uint32_t ended = 0;
    while (!ended) {
        if (!IOTXT_NextLine()) return LineError("GROUND: přerušená definice pozemní stanice na řádku %d.\n");
        if (!ParseStationLine(draft, &ended)) return 0;
    }
    return CheckStation(draft) && AppendStation(draft->station);
}

// ---------------------------------------------------------------- observation

// The horizontal direction toward the satellite and the elevation; an overhead
// satellite has no horizontal direction: elevation 90 and h = north.
void HorizontalAndElevation(const VEC3* p, const VEC3* d, double dLength, GROUND_OBSERVATION* o)
{
    VEC3 dxp{}, h{};
    VEC_Cross(d, p, &dxp);
    VEC_Cross(p, &dxp, &h);
    double pLength = VEC_Length(p);
    if (VEC_Length(&h) <= kZenithSine * pLength * pLength * dLength) {
        o->horizontal = o->north;
        o->elevation = 90.0;
        o->azimuth = 0.0;
        return;
    }
    VEC_Normalize(&h);
    o->horizontal = h;
    o->elevation = acos(Clamp(VEC_Dot(d, &h) / dLength, -1.0, 1.0)) * CONST_RAD_TO_DEG;
    // The satellite is above the horizon here, so d.h measures the angle from the horizon.
    VEC3 hxn{};
    VEC_Cross(&h, &o->north, &hxn);
    o->azimuth = acos(Clamp(VEC_Dot(&h, &o->north), -1.0, 1.0)) * CONST_RAD_TO_DEG;
    if (VEC_Dot(&hxn, p) <= 0.0) o->azimuth = 360.0 - o->azimuth;
}

// Local north; at a pole the station's x-y offset from the axis, left by cos 90
// degrees not being exactly 0, still gives the meridian of its longitude.
void LocalNorth(const VEC3* p, VEC3* north)
{
    const VEC3 z{0.0, 0.0, 1.0};
    VEC3 pxz{};
    VEC_Cross(p, &z, &pxz);
    VEC_Cross(&pxz, p, north);
    VEC_Normalize(north);
}

// ---------------------------------------------------------------- labels

const char* SatelliteName(const SATELIT* sat) { return sat && sat->name ? sat->name : ""; }

}  // namespace

void GROUND_Init()
{
    if (s_quadric) gluDeleteQuadric(s_quadric);
    s_quadric = gluNewQuadric();
    if (s_quadric) {
        gluQuadricDrawStyle(s_quadric, GLU_FILL);
        gluQuadricNormals(s_quadric, GLU_SMOOTH);
        gluQuadricTexture(s_quadric, GL_FALSE);
    }
    s_first = s_last = nullptr;
    s_drawScale = 0.0;
    s_labelFont = 0xFFFFFFFF;
}

uint32_t GROUND_LoadStation()
{
    STATION_DRAFT draft{};
    draft.station.observerLineColor = kDefaultObserverLineColor;
    draft.station.transmitterConeColor = kDefaultTransmitterConeColor;
    MEMORY_SetTag("GROUND-station-name");
    draft.station.name = IOTXT_ReadQuotedString();
    uint32_t ok = 0;
    if (!draft.station.name) LineError("GROUND: očekává se název stanice na řádku %d.\n");
    else if (!IOTXT_IsEndOfLine()) LineError("GROUND: očekává se konec řádku na řádku %d.\n");
    else ok = ParseStationBlock(&draft);
    if (!ok && draft.station.name) POOL_Free(draft.station.name);
    return ok;
}

uint32_t GROUND_Load()
{
    if (!IOTXT_OpenFile("Ground.cfg")) return 1;
    while (IOTXT_NextLine()) {
        uint32_t ok = IOTXT_MatchWord("station") ? GROUND_LoadStation()
                                                 : LineError("GROUND: neznámé slovo na řádku %d.\n");
        if (!ok) {
            IOTXT_CloseFile();
            return 0;
        }
    }
    IOTXT_CloseFile();
    SATELIT* observed = SATS_GetFirst();
    for (GROUND_STATION* s = s_first; s; s = s->next) s->satellite = observed;
    double scale = 0.0;
    ORBIT_GetDisplayParam(ORBIT_PARAM_SCALE, &scale);
    s_drawScale = scale * 1000.0;
    ORBIT_GetDisplayParam(ORBIT_PARAM_LABEL_FONT, &s_labelFont);
    return 1;
}

void GROUND_PositionAt(double longitude, double latitude, double siderealAngle, VEC3* out)
{
    double lat = latitude * CONST_DEG_TO_RAD;
    double lambda = (siderealAngle + longitude) * CONST_DEG_TO_RAD;
    double rho = GROUND_EARTH_RADIUS * cos(lat);
    *out = VEC3{rho * cos(lambda), rho * sin(lambda), GROUND_EARTH_RADIUS * sin(lat)};
}

void GROUND_Observe(const VEC3* p, const SATELIT* sat, GROUND_OBSERVATION* o)
{
    *o = GROUND_OBSERVATION{};
    LocalNorth(p, &o->north);
    if (!sat) return;
    VEC3 s{}, v{};
    SATELIT_GetPositionEci(sat, &s);
    SATELIT_GetVelocityEci(sat, &v);
    VEC3 d{s.x - p->x, s.y - p->y, s.z - p->z};
    if (VEC_Dot(&d, p) <= 0.0) return;
    o->visible = 1;
    o->distance = VEC_Length(&d);
    o->rangeRate = -(VEC_Dot(&d, &v) / o->distance) * 1000.0;
    HorizontalAndElevation(p, &d, o->distance, o);
}

// The station and the satellite both at the clock.
void GROUND_ObserveSatellite(const GROUND_STATION* station, const SATELIT* sat, double* azimuth,
                             double* elevation, double* distance, double* rangeRate, uint32_t* visible)
{
    GROUND_OBSERVATION o{};
    VEC3 p{};
    GROUND_PositionAt(station->longitude, station->latitude, ORBIT_EarthRotationAngleAt(g_simClock.clock), &p);
    GROUND_Observe(&p, sat, &o);
    *azimuth = o.azimuth;
    *elevation = o.elevation;
    *distance = o.distance;
    *rangeRate = o.rangeRate;
    *visible = o.visible;
}

// Only here does a station keep what it sees, for the view: the display
// refresh calls it at the end of every tick. Data output observes from the
// station at its own time without touching this state.
void GROUND_Update()
{
    double theta = ORBIT_EarthRotationAngleAt(g_simClock.clock);
    for (GROUND_STATION* s = s_first; s; s = s->next) {
        GROUND_PositionAt(s->longitude, s->latitude, theta, &s->position);
        GROUND_OBSERVATION o{};
        GROUND_Observe(&s->position, s->satellite, &o);
        s->azimuth = o.azimuth;
        s->elevation = o.elevation;
        s->distance = o.distance;
        s->rangeRate = o.rangeRate;
        s->visible = o.visible;
        s->horizontal = o.horizontal;
        s->north = o.north;
        if (s->satellite) SATELIT_GetPositionEci(s->satellite, &s->satellitePosition);
        else VEC_Zero(&s->satellitePosition);
    }
}

uint32_t GROUND_GetUpdatePeriod() { return GROUND_UPDATE_PERIOD; }

GROUND_STATION* GROUND_FindStation(const char* name)
{
    for (GROUND_STATION* s = s_first; s; s = s->next)
        if (name && strcasecmp(s->name, name) == 0) return s;
    return nullptr;
}

GROUND_STATION* GROUND_GetFirst() { return s_first; }

void GROUND_SnapshotForDrawing()
{
    for (GROUND_STATION* s = s_first; s; s = s->next) {
        s->drawnPosition = s->position;
        VEC_SetLength(&s->drawnPosition, VEC_Length(&s->position) + s->altitudeDrawCorrection);
        s->drawnSatellite = s->satellite;
        s->drawnSatellitePosition = s->satellitePosition;
        s->drawnAzimuth = s->azimuth;
        s->drawnElevation = s->elevation;
        s->drawnDistance = s->distance;
        s->drawnRangeRate = s->rangeRate;
        s->drawnVisible = s->visible;
        s->drawnHorizontal = s->horizontal;
        s->drawnNorth = s->north;
    }
}

void GROUND_FormatLabel(const GROUND_STATION* s, char* text, size_t size)
{
    if (!text || size == 0) return;
    if (!s->drawnSatellite)
        snprintf(text, size, "%.*s", kLabelNameChars, s->name);
    else if (s->drawnVisible)
        snprintf(text, size, "%.*s: Sat:%.*s Az=%.1lfdeg El=%.1lfdeg Dist=%.1lfkm v=%.1lfm/s", kLabelNameChars,
                 s->name, kLabelNameChars, SatelliteName(s->drawnSatellite), s->drawnAzimuth, s->drawnElevation,
                 s->drawnDistance, s->drawnRangeRate);
    else
        snprintf(text, size, "%.*s: Sat:%.*s  satelit pod obzorem", kLabelNameChars, s->name, kLabelNameChars,
                 SatelliteName(s->drawnSatellite));
}

namespace {

VEC3 Plus(const VEC3& a, const VEC3& b) { return VEC3{a.x + b.x, a.y + b.y, a.z + b.z}; }
VEC3 Times(const VEC3& a, double k) { return VEC3{a.x * k, a.y * k, a.z * k}; }

// The marker and the label, at the station.
void DrawMarker(const GROUND_STATION* s)
{
    glPushMatrix();
    glTranslated(s->drawnPosition.x, s->drawnPosition.y, s->drawnPosition.z);
    GLDRAW_Color3ub(11, 16, 239);
    if (s_quadric) gluSphere(s_quadric, kMarkerRadius, 30, 30);
    char label[GROUND_LABEL_SIZE];
    GROUND_FormatLabel(s, label, sizeof label);
    GLDRAW_Color3ub(192, 192, 192);
    glRasterPos3d(0.0, 0.0, kLabelHeight);
    OGW_PrintText((OGW_FONT_SLOT)s_labelFont, "%s", label);
    glPopMatrix();
}

// The line of sight, the local axes and the antenna's cone toward a visible satellite.
void DrawObservation(const GROUND_STATION* s, OGW_WINDOW* window)
{
    const VEC3& p = s->drawnPosition;
    if (s->drawObserverLine) {
        GLDRAW_Color3ub(s->observerLineColor.r, s->observerLineColor.g, s->observerLineColor.b);
        glBegin(GL_LINES);
        glVertex3d(p.x, p.y, p.z);
        glVertex3d(s->drawnSatellitePosition.x, s->drawnSatellitePosition.y, s->drawnSatellitePosition.z);
        glEnd();
    }
    if (s->drawGroundAxes) {
        GLDRAW_Color3ub(255, 0, 0);
        GLDRAW_Arrow(p, Plus(p, Times(s->drawnHorizontal, kAxisLength)), nullptr, -1);
        GLDRAW_Color3ub(0, 0, 255);
        GLDRAW_Arrow(p, Plus(p, Times(s->drawnNorth, kAxisLength)), nullptr, -1);
    }
    VEC3 toward{s->drawnSatellitePosition.x - p.x, s->drawnSatellitePosition.y - p.y,
                s->drawnSatellitePosition.z - p.z};
    if (s->drawTransmitterCone && !VEC_IsZero(&toward)) {
        VEC_SetLength(&toward, kConeLength);
        VEC3 base = Plus(p, toward);
        const GROUND_COLOR& c = s->transmitterConeColor;
        GLDRAW_Color4ub(c.r, c.g, c.b, kConeAlpha);
        GLDRAW_TranslucentCone(window, &p, &base, s->antennaAngle * CONST_DEG_TO_RAD);
    }
}

}  // namespace

void GROUND_Draw(OGW_WINDOW* window)
{
    if (!s_first) return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glScaled(s_drawScale, s_drawScale, s_drawScale);
    for (const GROUND_STATION* s = s_first; s; s = s->next) {
        DrawMarker(s);
        if (s->drawnSatellite && s->drawnVisible) DrawObservation(s, window);
    }
    glPopMatrix();
    glPopAttrib();
}

void GROUND_FreeList(GROUND_STATION* first)
{
    while (first) {
        GROUND_STATION* next = first->next;
        if (first->name) POOL_Free(first->name);
        POOL_Free(first);
        first = next;
    }
}

void GROUND_FreeAll()
{
    GROUND_FreeList(s_first);
    s_first = s_last = nullptr;
}

void GROUND_Done()
{
    if (s_quadric) gluDeleteQuadric(s_quadric);
    s_quadric = nullptr;
    GROUND_FreeAll();
}

// Everything switched on in one run, recorded as a user records it: three
// satellites on SGP4, NEWTON and ENHANCED_KEPLER under every torque, coils
// driven by an on-board B-dot module, the built-in B-dot and B-cross
// controllers, three ground stations each passed by one of the satellites, and
// a node of every type. Every quantity of the table of recordable quantities in
// docs/dataoutput.md, with every vector name and node type of that chapter,
// becomes a column of a result file; a column that this scenario must move and
// that reads constant, zero, not a number or nothing fails the test.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kChapter = std::string(ORBIT_SOURCE_DIR) + "/docs/dataoutput.md";

// What a column must show over the run.
enum class Expect {
    kVarying,          // a number in every row, not the same in all of them
    kLightAndShadow,   // 100 in some rows, 0 in others
    kShareOfAPair,     // varying, and strictly between 0 and 100 once a light and a shadow period have passed
    kSolarPressure,    // (1 + reflectivity) x 1370 W/m2 / c in every sunlit row
};

// The decision for every quantity of the chapter's table in this scenario.
const std::map<std::string, Expect> kQuantityChecks = {
    {"SATELITS_3D_DISTANCE_KM", Expect::kVarying},
    {"SATELITS_MAX3D_DISTANCE_KM", Expect::kVarying},
    {"SATELITS_ANGLEDEG_DISTANCE", Expect::kVarying},
    {"SATELIT_LONGITUDE_DEG", Expect::kVarying},
    {"SATELIT_LATITUDE_DEG", Expect::kVarying},
    {"SATELIT_ALTITUDE_KM", Expect::kVarying},
    {"SATELIT_VECTOR_MAGNITUDE", Expect::kVarying},
    {"SATELIT_VECTOR_X", Expect::kVarying},
    {"SATELIT_VECTOR_Y", Expect::kVarying},
    {"SATELIT_VECTOR_Z", Expect::kVarying},
    {"SATELIT_MODULE_VECTOR_MAGNITUDE", Expect::kVarying},
    {"SATELIT_MODULE_VECTOR_X", Expect::kVarying},
    {"SATELIT_MODULE_VECTOR_Y", Expect::kVarying},
    {"SATELIT_MODULE_VECTOR_Z", Expect::kVarying},
    {"SATELIT_MAGVECTOR_MAGNITUDE_NT", Expect::kVarying},
    {"SATELIT_MAGVECTOR_ANGULAR_VELOCITY_RADS", Expect::kVarying},
    {"SATELIT_MAGVECTOR_ROTATION_PERIOD_S", Expect::kVarying},
    {"SATELIT_ANGULAR_VELOCITY_MAGNITUDE", Expect::kVarying},
    {"SATELIT_ROTATION_PERIOD", Expect::kVarying},
    {"SATELIT_LIGHT_INTENSITY_PERCENT", Expect::kLightAndShadow},
    {"SATELIT_LIGHT_INTENSITY_RATIO_PERCENT", Expect::kShareOfAPair},
    {"SATELIT_ATMOSPHERE_DENSITY_KGM3", Expect::kVarying},
    {"SATELIT_DRAG_FORCE_PER_M2_N", Expect::kVarying},   // every satellite has a drag coefficient
    // The pressure in full sunlight: the same in the Earth's shadow.
    {"SATELIT_SOLAR_FORCE_PER_M2_N", Expect::kSolarPressure},
    {"SATELIT_COIL_TOTAL_CONSUMPTION_J", Expect::kVarying},
    {"SATELIT_COIL_AVG_POWER_10S_W", Expect::kVarying},
    {"SATELIT_COIL_AVG_POWER_60S_W", Expect::kVarying},
    // The station observations read 0 below the horizon: each station is
    // passed by the satellite it observes here.
    {"GROUND_SATELIT_DISTANCE_KM", Expect::kVarying},
    {"GROUND_SATELIT_VELOCITY_MS", Expect::kVarying},
    {"GROUND_SATELIT_AZIMUTH_DEG", Expect::kVarying},
    {"GROUND_SATELIT_ELEVATION_DEG", Expect::kVarying},
};

struct Satellite {
    const char* name;
    double reflectivity;
};
const Satellite kSatellites[] = {{"SGP4-SAT", 0.95}, {"NEWTON-SAT", 0.5}, {"KEPLER-SAT", 0.0}};

// Each station and the satellite that passes it in the run.
const std::pair<const char*, const char*> kObservations[] = {
    {"Ondrejov", "SGP4-SAT"}, {"Atlantic", "NEWTON-SAT"}, {"Borneo", "KEPLER-SAT"}};

// A B-dot module run once a second: coils X and Y get a voltage against the
// change of the body-frame field, coil Z is switched forward or backward
// against it, and "Measured" passes on the field as read.
const char* const kModuleSource = R"(#include "module_services.h"
__xdata long field[3];
__xdata int coil_x, coil_y;
__xdata unsigned char z_plus, z_minus;
__xdata long measured[3];
__xdata long previous[3];
__xdata unsigned char have_previous;

static int drive_against(long change)
{
    if (change < -1000L) return 1000;
    if (change > 1000L) return -1000;
    return (int)-change;
}

void control(void)
{
    unsigned char axis;
    int z;
    if (have_previous) {
        coil_x = drive_against(field[0] - previous[0]);
        coil_y = drive_against(field[1] - previous[1]);
        z = drive_against(field[2] - previous[2]);
        z_plus = z > 50;
        z_minus = z < -50;
    }
    for (axis = 0; axis < 3; ++axis) {
        previous[axis] = field[axis];
        measured[axis] = field[axis];
    }
    have_previous = 1;
}

void main(void)
{
    M_RegisterEntry(M_ENTRY_1000MS, control);
    SetupInput(M_CODE_NAME("Field"), M_TYPE_3xLONG, field);
    BindInput(M_CODE_NAME("Field"), M_ENTRY_1000MS);
    SetupOutput(M_CODE_NAME("CoilX"), M_TYPE_INT, &coil_x);
    BindOutput(M_CODE_NAME("CoilX"), M_ENTRY_1000MS);
    SetupOutput(M_CODE_NAME("CoilY"), M_TYPE_INT, &coil_y);
    BindOutput(M_CODE_NAME("CoilY"), M_ENTRY_1000MS);
    SetupOutput(M_CODE_NAME("ZPlus"), M_TYPE_BYTE, &z_plus);
    BindOutput(M_CODE_NAME("ZPlus"), M_ENTRY_1000MS);
    SetupOutput(M_CODE_NAME("ZMinus"), M_TYPE_BYTE, &z_minus);
    BindOutput(M_CODE_NAME("ZMinus"), M_ENTRY_1000MS);
    SetupOutput(M_CODE_NAME("Measured"), M_TYPE_3xLONG, measured);
    BindOutput(M_CODE_NAME("Measured"), M_ENTRY_1000MS);
}
)";

const char* const kCoil = R"(    coil "%s"
        shape = RECTANGULAR, 80 mm, 80 mm
        core = NONE
        windings = 200
        position = 0 mm, 0 mm, 0 mm
        direction = VECTOR(%s)
        resistance = 50
        driving = %s
    end
)";

std::string Coil(const char* name, const char* direction, const std::string& driving)
{
    char text[1024];
    snprintf(text, sizeof text, kCoil, name, direction, driving.c_str());
    return text;
}

std::string ModuleSatellite()
{
    return std::string(R"(satelit
    name = "SGP4-SAT"
    orbit_model = SGP4
    tle = "leo.tle"
    magnetic_field_model = REAL
    atmosphere_model = NRLMSISE00
    mass_model "cube", "cubesat.mass"
    surface_model = "cube", "cubesat.surf"
    attitude_model = FOURTH_ORDER
    attitude = EULER_ANGLES(0, 0, 0)
    rotation_axis = VECTOR(1, 2, 3)
    angular_velocity = DEG_PER_SECOND(10)
    gravity_torque = ON
    magnetic_torque = ON
    residual_dipole = VECTOR(0.0005, 0.0005, 0.0005)
    permanent_magnet = VECTOR(0, 0, 0.001)
    solar_torque = ON
    mean_reflectivity = 0.95
    drag_torque = ON
    drag_coefficient = 2.2
    energy_damping = JOULE_PER_RAD(1e-9)
    test_torque_body = VECTOR(0, 0, 1e-9)
    test_torque_eci = VECTOR(1e-9, 0, 0)
    light_time_accuracy = 10s
    onboard_module "BDOT"
        code = X51, "bdot.img"
        input "Field" = GLOBAL_VARIABLE("MagVector_Body_nT_L3")
        output "CoilX"
        output "CoilY"
        output "ZPlus"
        output "ZMinus"
        output "Measured"
    end
)") + Coil("X", "1, 0, 0", "VOLTAGE, -5, 5, -1000, 1000, MODULE_OUTPUT(\"BDOT\", \"CoilX\")") +
           Coil("Y", "0, 1, 0", "VOLTAGE, -5, 5, -1000, 1000, MODULE_OUTPUT(\"BDOT\", \"CoilY\")") +
           Coil("Z", "0, 0, 1",
                "PWM_VOLTAGE, 5, MODULE_OUTPUT(\"BDOT\", \"ZPlus\"), MODULE_OUTPUT(\"BDOT\", \"ZMinus\")") +
           "end\n";
}

const char* const kOtherSatellites = R"(
satelit
    name = "NEWTON-SAT"
    orbit_model = NEWTON
    position_vector = VECTOR(6778, 0, 0)
    velocity_vector = VECTOR(0, 4.95, 5.85)
    magnetic_field_model = REAL
    atmosphere_model = NRLMSISE00
    mass_model "cube", "cubesat.mass"
    surface_model = "cube", "cubesat.surf"
    attitude_model = SECOND_ORDER_AUGMENTED
    attitude = QUATERNION(1, 0, 0, 0)
    rotation_axis = VECTOR(0, 1, 0)
    angular_velocity = RAD_PER_SECOND(0.1)
    gravity_torque = ON
    magnetic_torque = ON
    residual_dipole = VECTOR(0, 0.001, 0)
    solar_torque = ON
    mean_reflectivity = 0.5
    drag_torque = ON
    drag_coefficient = 2.0
    internal_b_dot_controller = 5000, 0.02, 0.02, 0.02, 1s
end

satelit
    name = "KEPLER-SAT"
    orbit_model = ENHANCED_KEPLER
    kepler_raan = 40
    kepler_inclination = 97.5
    kepler_argument = 90
    kepler_excentricity = 0.001
    kepler_meanmotion = 15.2
    kepler_meananomaly = 90
    kepler_time = UT("01.01.2006, 00:00")
    kepler_dot_mean_motion = PER_DAY(0)
    magnetic_field_model = REAL
    atmosphere_model = UASA2000
    mass_model "cube", "cubesat.mass"
    surface_model = "cube", "cubesat.surf"
    attitude_model = THIRD_ORDER
    attitude = AXIS_ROTATION(0, 0, 1, 45)
    rotation_axis = VECTOR(1, 0, 1)
    angular_velocity = REV_PER_MINUTE(0.5)
    gravity_torque = ON
    solar_torque = ON
    mean_reflectivity = 0
    drag_torque = ON
    drag_coefficient = 2.5
    permanent_magnet = VECTOR(0, 0, 0.005)
    energy_damping = JOULE_PER_DEG(1e-10)
    internal_b_cross_controller = 0.01, 0.02, 0.02, 0.02, 1s
end
)";

// Each station a few degrees off its satellite's ground track.
const char* const kStations = R"(station "Ondrejov"
    longitude = 14.78
    latitude = 49.91
    antenna_angle = 30
end
station "Atlantic"
    longitude = -14
    latitude = 47
    antenna_angle = 30
end
station "Borneo"
    longitude = 110
    latitude = 0
    antenna_angle = 30
end
)";

// Three simulated hours: every satellite passes from light into shadow and
// back, and over its station.
const char* const kMultipass = "starttime = UT(\"01.01.2006, 00:00\")\n"
                               "endtime = UT(\"01.01.2006, 03:00\")\nsimulationspeed = FASTEST\n";
constexpr size_t kRows = 3 * 120 + 1;   // a row every 30 s, the end time's included

// A node of every type but the two that compare a module output with the
// model (ModuleComparison), all of them moving in this run.
const std::map<std::string, std::string> kNodes = {
    {"GREATER", "value1 = GROUND_SATELIT_ELEVATION_DEG(\"Ondrejov\", \"SGP4-SAT\")\nvalue2 = 0"},
    {"LESS", "value1 = SATELIT_LATITUDE_DEG(\"NEWTON-SAT\")\nvalue2 = 0"},
    {"LESS_OR_EQU", "value1 = SATELIT_LONGITUDE_DEG(\"KEPLER-SAT\")\nvalue2 = 0"},
    {"GREATER_OR_EQU",
     "value1 = SATELIT_LIGHT_INTENSITY_PERCENT(\"SGP4-SAT\")\nvalue2 = 50\nignore_value1 = 0"},
    {"AND", "value1 = datavalue(\"GREATER_OR_EQU\")\nvalue2 = datavalue(\"LESS\")"},
    {"OR", "value1 = datavalue(\"GREATER\")\nvalue2 = datavalue(\"LESS_OR_EQU\")"},
    {"TIME_ACCOUNTING",
     "value = datavalue(\"GREATER_OR_EQU\")\ninterval = 30m\naccuracy = 10s\ndefault_value = -1"},
    {"COUNT_IN_INTERVAL", "value = SATELIT_LATITUDE_DEG(\"SGP4-SAT\")\nlow_interval = 0\nhigh_interval = 90\n"
                          "interval = 10m\ndefault_value = 0"},
    {"COUNT_PULSE_WIDTH", "value = datavalue(\"GREATER_OR_EQU\")\nlow_interval = 10m\nhigh_interval = 2h\n"
                          "interval = 1h\naccuracy = 10s\ndefault_value = 0"},
    {"MINIMUM", "value = SATELIT_MAGVECTOR_MAGNITUDE_NT(\"KEPLER-SAT\")\ndefault_value = -1"},
    {"MAXIMUM",
     "value = GROUND_SATELIT_ELEVATION_DEG(\"Ondrejov\", \"SGP4-SAT\")\ndefault_value = 0\ndefault_target = 0"},
};

std::string ModuleComparison()
{
    std::string text;
    for (const char* axis : {"X", "Y", "Z"})
        text += std::string("model") + (char)tolower(axis[0]) + " = SATELIT_VECTOR_" + axis +
                "(\"SGP4-SAT\", \"MagneticField_BODY_nT\")\n";
    for (const char* axis : {"X", "Y", "Z"})
        text += std::string("module") + (char)tolower(axis[0]) + " = SATELIT_MODULE_VECTOR_" + axis +
                "(\"SGP4-SAT\", \"BDOT\", \"Measured\")\n";
    return text;
}

// The nodes in an order that defines each above its users, named after their types.
std::string NodeBlocks()
{
    std::map<std::string, std::string> nodes = kNodes;
    nodes["MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG"] = ModuleComparison();
    nodes["MODULE_VECTOR_MAGNITUDE_DIFFERENCE_FROM_MODEL_PERCENT"] = ModuleComparison();
    std::string text;
    std::set<std::string> defined;
    auto define = [&](const std::string& type) {
        if (!defined.insert(type).second) return;
        text += "datavalue \"" + type + "\", " + type + "\n" + nodes[type] + "\nend\n";
    };
    for (const char* first : {"GREATER", "LESS", "LESS_OR_EQU", "GREATER_OR_EQU"}) define(first);
    for (const auto& [type, body] : nodes) define(type);
    return text;
}

// ---- the chapter's tables ----------------------------------------------------

struct TableRow {
    std::string name, second;
};

// The rows of the tables of a section of the chapter whose first cell is a
// backticked name, with their second cell.
std::vector<TableRow> SectionRows(const std::string& heading)
{
    std::string text = testsupport::ReadFile(kChapter);
    size_t start = text.find("\n" + heading + "\n");
    EXPECT_NE(start, std::string::npos) << heading;
    if (start == std::string::npos) return {};
    std::istringstream section(text.substr(start + 1, text.find("\n## ", start + 1) - start));
    static const std::regex row("^\\| `([A-Za-z0-9_]+)` \\| ([^|]*?) *\\|.*");
    std::vector<TableRow> rows;
    std::smatch m;
    for (std::string line; std::getline(section, line);)
        if (std::regex_match(line, m, row)) rows.push_back({m[1], m[2]});
    return rows;
}

bool IsKeyword(const std::string& name)
{
    return std::none_of(name.begin(), name.end(), [](char c) { return std::islower((unsigned char)c); });
}

// The quantities with their argument lists, and the vector names.
std::vector<TableRow> DocumentedQuantities()
{
    std::vector<TableRow> rows;
    for (const TableRow& row : SectionRows("## Recordable quantities"))
        if (IsKeyword(row.name)) rows.push_back(row);
    return rows;
}

std::vector<std::string> DocumentedVectors()
{
    std::vector<std::string> names;
    for (const TableRow& row : SectionRows("## Recordable quantities"))
        if (!IsKeyword(row.name)) names.push_back(row.name);
    return names;
}

std::set<std::string> DocumentedNodeTypes()
{
    std::set<std::string> types;
    for (const TableRow& row : SectionRows("## Data-value nodes")) types.insert(row.name);
    return types;
}

// ---- the columns --------------------------------------------------------------

struct Column {
    std::string source;
    Expect expect = Expect::kVarying;
    std::string satellite;   // the one satellite the quantity is of, if any
};

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// The argument lists of a quantity in this scenario, from the table's
// description of its arguments; none for a description the test does not know.
std::vector<std::pair<std::string, std::string>> ArgumentLists(const std::string& arguments)
{
    std::vector<std::pair<std::string, std::string>> lists;   // the list and its one satellite
    if (arguments == "satellite")
        for (const Satellite& s : kSatellites) lists.push_back({Quoted(s.name), s.name});
    if (arguments == "satellite 1, satellite 2")
        for (size_t i = 0; i < std::size(kSatellites); ++i)
            for (size_t j = i + 1; j < std::size(kSatellites); ++j)
                lists.push_back({Quoted(kSatellites[i].name) + ", " + Quoted(kSatellites[j].name), ""});
    if (arguments == "satellite, vector")
        for (const Satellite& s : kSatellites)
            for (const std::string& vector : DocumentedVectors())
                lists.push_back({Quoted(s.name) + ", " + Quoted(vector), s.name});
    if (arguments == "satellite, module, output") lists.push_back({"\"SGP4-SAT\", \"BDOT\", \"Measured\"", "SGP4-SAT"});
    if (arguments == "satellite, coil")
        for (const char* coil : {"X", "Y", "Z"}) lists.push_back({"\"SGP4-SAT\", " + Quoted(coil), "SGP4-SAT"});
    if (arguments == "station, satellite")
        for (const auto& [station, satellite] : kObservations)
            lists.push_back({Quoted(station) + ", " + Quoted(satellite), ""});
    return lists;
}

std::vector<Column> Columns()
{
    std::vector<Column> columns;
    for (const TableRow& quantity : DocumentedQuantities()) {
        auto lists = ArgumentLists(quantity.second);
        EXPECT_FALSE(lists.empty()) << quantity.name << ": arguments \"" << quantity.second << "\" unknown to the test";
        auto check = kQuantityChecks.find(quantity.name);
        Expect expect = check == kQuantityChecks.end() ? Expect::kVarying : check->second;
        for (const auto& [list, satellite] : lists)
            columns.push_back({quantity.name + "(" + list + ")", expect, satellite});
    }
    for (const std::string& type : DocumentedNodeTypes())
        columns.push_back({"datavalue(\"" + type + "\")", Expect::kVarying, ""});
    return columns;
}

std::string DataFile(const std::vector<Column>& columns, const std::string& head)
{
    std::string text = head;
    for (size_t i = 0; i < columns.size(); ++i)
        text += "    value\n        name = \"" + std::to_string(i) + "\"\n        type = FLOAT, 0, 9, EXP\n"
                "        data = " + columns[i].source + "\n    end\n";
    return text + "end\n";
}

// The scenario folder, its module built; empty when sdcc is missing.
std::string Scenario(const std::vector<Column>& columns)
{
    if (!scenario::SdccPresent()) return "";
    std::string dir = testsupport::MakeTempDir("all-quantities");
    for (const char* name : {"leo.tle", "cubesat.mass", "cubesat.surf"})
        fs::copy_file(std::string(ORBIT_SOURCE_DIR) + "/examples/leo/" + name, dir + "/" + name);
    testsupport::WriteFile(dir + "/bdot.c", kModuleSource);
    EXPECT_EQ(scenario::BuildModule(dir + "/bdot.c", dir + "/bdot.img"), 0);
    testsupport::WriteFile(dir + "/Objects.cfg", ModuleSatellite() + kOtherSatellites);
    testsupport::WriteFile(dir + "/Ground.cfg", kStations);
    testsupport::WriteFile(dir + "/Multipass.cfg", kMultipass);
    testsupport::WriteFile(dir + "/DataOutput.cfg",
                           NodeBlocks() + DataFile(columns, "datafile CSV, \"all.csv\"\n    interval = 30s\n") +
                               DataFile(columns, "datafile CSV, \"end.csv\"\n    results\n"));
    return dir;
}

// ---- reading and checking ---------------------------------------------------

// The cells of a result file's rows after the first skip, not-a-number for a
// cell that holds none; the header left out.
std::vector<std::vector<double>> ReadRows(const std::string& path, size_t skip)
{
    std::vector<std::vector<double>> rows;
    std::istringstream lines(testsupport::ReadFile(path));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::vector<double>& row = rows.emplace_back();
        std::istringstream cells(line);
        std::string cell;
        for (size_t i = 0; std::getline(cells, cell, ';'); ++i) {
            if (i < skip) continue;
            std::replace(cell.begin(), cell.end(), ',', '.');
            char* end = nullptr;
            double value = std::strtod(cell.c_str(), &end);
            row.push_back(cell.empty() || *end ? std::numeric_limits<double>::quiet_NaN() : value);
        }
    }
    return rows;
}

constexpr double kSolarConstant = 1370.0, kSpeedOfLight = 299792458.0;

double Reflectivity(const std::string& satellite)
{
    for (const Satellite& s : kSatellites)
        if (satellite == s.name) return s.reflectivity;
    return std::nan("");
}

size_t ColumnOf(const std::vector<Column>& columns, const std::string& source)
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].source == source) return i;
    ADD_FAILURE() << source << " is not recorded";
    return 0;
}

void ExpectSolarPressure(const std::vector<double>& values, const std::vector<double>& light, const Column& c)
{
    double expected = (1.0 + Reflectivity(c.satellite)) * kSolarConstant / kSpeedOfLight;
    size_t sunlit = 0, wrong = 0, first = 0;
    for (size_t row = 0; row < values.size(); ++row) {
        if (light[row] != 100.0) continue;
        ++sunlit;
        if (std::fabs(values[row] - expected) <= expected * 1e-6) continue;
        if (wrong++ == 0) first = row;
    }
    EXPECT_GT(sunlit, 0u) << c.source;
    EXPECT_EQ(wrong, 0u) << c.source << " reads " << values[first] << " in sunlit row " << first << ", not "
                         << expected;
}

void ExpectColumn(const std::vector<double>& values, const Column& c, const std::vector<double>& light)
{
    if (std::any_of(values.begin(), values.end(), [](double v) { return !std::isfinite(v); })) {
        ADD_FAILURE() << c.source << " reads a value that is not a number";
        return;
    }
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    bool varies = *low != *high;
    switch (c.expect) {
    case Expect::kVarying: EXPECT_TRUE(varies) << c.source << " reads " << *low << " all the run"; break;
    case Expect::kLightAndShadow:
        EXPECT_EQ(*low, 0.0) << c.source;
        EXPECT_EQ(*high, 100.0) << c.source;
        break;
    case Expect::kShareOfAPair:
        EXPECT_TRUE(varies) << c.source << " reads " << *low << " all the run";
        EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](double v) { return v > 0.0 && v < 100.0; }))
            << c.source;
        break;
    case Expect::kSolarPressure: ExpectSolarPressure(values, light, c); break;
    }
}

TEST(AllQuantities, TheTestDecidesForEveryQuantityAndNodeOfTheChapter)
{
    std::set<std::string> documented, decided;
    for (const TableRow& row : DocumentedQuantities()) documented.insert(row.name);
    for (const auto& [name, check] : kQuantityChecks) decided.insert(name);
    EXPECT_EQ(documented, decided);
    EXPECT_EQ(DocumentedVectors().size(), 6u);
    std::set<std::string> nodes = {"MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG",
                                   "MODULE_VECTOR_MAGNITUDE_DIFFERENCE_FROM_MODEL_PERCENT"};
    for (const auto& [type, body] : kNodes) nodes.insert(type);
    EXPECT_EQ(DocumentedNodeTypes(), nodes);
}

TEST(AllQuantities, EveryQuantityMovesInARunWithEverythingOn)
{
    std::vector<Column> columns = Columns();
    std::string dir = Scenario(columns);
    if (dir.empty()) GTEST_SKIP() << "sdcc is not installed";
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    // A misspelt keyword would leave something off and still run.
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    for (const char* complaint : {"Nezruseny", "neznám", "default", "chyb", "CHYB", "očekáv", "nebyl"})
        EXPECT_EQ(log.find(complaint), std::string::npos) << complaint << " in the log:\n" << log;
    auto rows = ReadRows(dir + "/all.csv", 2);
    ASSERT_EQ(rows.size(), kRows);
    std::vector<std::vector<double>> byColumn(columns.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), columns.size()) << "row " << r;
        for (size_t c = 0; c < columns.size(); ++c) byColumn[c].push_back(rows[r][c]);
    }
    for (size_t c = 0; c < columns.size(); ++c) {
        const Column& column = columns[c];
        std::vector<double> light;
        if (column.expect == Expect::kSolarPressure)
            light = byColumn[ColumnOf(columns, "SATELIT_LIGHT_INTENSITY_PERCENT(" + Quoted(column.satellite) + ")")];
        ExpectColumn(byColumn[c], column, light);
    }
    // The results row reads the state at the end time, as the last row does.
    auto end = ReadRows(dir + "/end.csv", 0);
    ASSERT_EQ(end.size(), 1u);
    ASSERT_EQ(end[0].size(), columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        if (std::isfinite(end[0][c]) || std::isfinite(rows.back()[c])) {
            EXPECT_EQ(end[0][c], rows.back()[c]) << columns[c].source;
        }
    }
}

}  // namespace

// Quantities of on-board module outputs in the on-board example: the
// controller's dipole, m = (By, -Bx, 0) / 8 in units of 10 nT, recorded beside
// the body-frame field and compared with it by nodes; a one-component output
// cannot be recorded as a vector.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

// A copy of the on-board example with its module images built; empty when
// sdcc is missing.
std::string PrepareExample()
{
    return scenario::SdccPresent() ? scenario::CopyExample("onboard", {"acs", "comm"}) : "";
}

std::string Column(const char* name, const std::string& source)
{
    return std::string("  value\n    name = \"") + name + "\"\n    type = FLOAT, 0, 6\n    data = " + source +
           "\n  end\n";
}

std::string Field(const char* axis)
{
    return std::string("SATELIT_VECTOR_") + axis + "(\"LEO\", \"MagneticField_BODY_nT\")";
}

std::string Dipole(const char* what)
{
    return std::string("SATELIT_MODULE_VECTOR_") + what + "(\"LEO\", \"ACS\", \"Dipole\")";
}

std::string DataOutput()
{
    std::string nodes;
    for (const char* type : {"MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG",
                             "MODULE_VECTOR_MAGNITUDE_DIFFERENCE_FROM_MODEL_PERCENT"}) {
        nodes += std::string("datavalue \"") + type + "\", " + type + "\n";
        for (const char* axis : {"X", "Y", "Z"})
            nodes += std::string("  model") + (char)tolower(axis[0]) + " = " + Field(axis) + "\n";
        for (const char* axis : {"X", "Y", "Z"})
            nodes += std::string("  module") + (char)tolower(axis[0]) + " = " + Dipole(axis) + "\n";
        nodes += "end\n";
    }
    std::string text = nodes + "datafile CSV, \"dipole.csv\"\n  interval = 1m\n";
    for (const char* axis : {"X", "Y", "Z"}) text += Column(axis, Field(axis));
    for (const char* what : {"X", "Y", "Z", "MAGNITUDE"}) text += Column(what, Dipole(what));
    text += Column("deviation", "datavalue(\"MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG\")");
    text += Column("difference", "datavalue(\"MODULE_VECTOR_MAGNITUDE_DIFFERENCE_FROM_MODEL_PERCENT\")");
    return text + "end\n";
}

TEST(ModuleQuantities, TheControllersDipoleBesideTheBodyField)
{
    std::string dir = PrepareExample();
    if (dir.empty()) GTEST_SKIP() << "sdcc is not installed";
    testsupport::WriteFile(dir + "/DataOutput.cfg", DataOutput());
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    EXPECT_EQ(testsupport::ReadFile(dir + "/Zendrix.log").find("Nezruseny"), std::string::npos);
    auto rows = testsupport::ReadCsvValues(dir + "/dipole.csv", 2);
    ASSERT_EQ(rows.size(), 11u);
    for (size_t i = 1; i < rows.size(); ++i) {   // the first row comes before the module's first run
        const auto& r = rows[i];
        const double b[3] = {r[0], r[1], r[2]}, m[3] = {r[3], r[4], r[5]};
        // The dipole (By, -Bx, 0) / 80 of a field the module read earlier.
        EXPECT_EQ(m[2], 0.0);
        double dipole = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
        EXPECT_GT(dipole, 0.0) << i;
        EXPECT_NEAR(r[6], dipole, 1e-6);
        // The nodes agree with the recorded components.
        double field = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
        double cosine = (b[0] * m[0] + b[1] * m[1] + b[2] * m[2]) / field / dipole;
        EXPECT_NEAR(r[7], std::acos(cosine) * 180 / M_PI, 1e-3) << i;
        EXPECT_NEAR(r[8], (dipole - field) / field * 100.0, 1e-3) << i;
    }
}

TEST(ModuleQuantities, AOneComponentOutputFailsTheRunStart)
{
    std::string dir = PrepareExample();
    if (dir.empty()) GTEST_SKIP() << "sdcc is not installed";
    testsupport::WriteFile(dir + "/DataOutput.cfg", "datafile CSV, \"power.csv\"\n  interval = 1m\n" +
                                                        Column("power", "SATELIT_MODULE_VECTOR_X(\"LEO\", \"ACS\", "
                                                                        "\"CommPower\")") +
                                                        "end\n");
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 1) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("DATAOUT: výstup \"CommPower\" modulu \"ACS\" není vektorového typu.\n"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

}  // namespace

namespace {

// The coil example with its B-dot module built; empty when sdcc is missing.
std::string PrepareCoilExample()
{
    if (!scenario::SdccPresent()) return "";
    std::string dir = scenario::CopyExample("detumble_coils", {"bdot"});
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                   "endtime = UT(\"01.01.2006, 00:10\")\nsimulationspeed = FASTEST\n");
    return dir;
}

// The module sets the currents once a second and a coil brings its energy up
// to date when its current is set: the energy spent between two rows W seconds
// apart is the mean power over W seconds times W, less at most one second of it.
void ExpectWindowEnergy(double meanPower, double seconds, double spent)
{
    double rounding = seconds * 1e-6;   // the columns have six decimals
    EXPECT_LE(spent, meanPower * seconds + rounding);
    EXPECT_GE(spent, meanPower * (seconds - 1.0) - rounding);
}

// Every 10 s: each coil's energy so far and its mean power over the last 10 s
// and 60 s, which the energies of the rows 10 s and 60 s before bound.
TEST(CoilQuantities, MeanPowersAreTheEnergyOfTheirWindows)
{
    std::string dir = PrepareCoilExample();
    if (dir.empty()) GTEST_SKIP() << "sdcc is not installed";
    std::string text = "datafile CSV, \"coils.csv\"\n  interval = 10s\n";
    for (const char* coil : {"X", "Y", "Z"}) {
        std::string args = std::string("(\"CUBESAT\", \"") + coil + "\")";
        text += Column("E", "SATELIT_COIL_TOTAL_CONSUMPTION_J" + args);
        text += Column("P10", "SATELIT_COIL_AVG_POWER_10S_W" + args);
        text += Column("P60", "SATELIT_COIL_AVG_POWER_60S_W" + args);
    }
    testsupport::WriteFile(dir + "/DataOutput.cfg", text + "end\n");
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    EXPECT_EQ(testsupport::ReadFile(dir + "/Zendrix.log").find("Nezruseny"), std::string::npos);
    auto rows = testsupport::ReadCsvValues(dir + "/coils.csv", 2);
    ASSERT_EQ(rows.size(), 61u);
    double spent = 0.0;
    for (size_t i = 1; i < rows.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            double energy = rows[i][3 * c];
            EXPECT_GE(energy, rows[i - 1][3 * c]);
            EXPECT_LE(rows[i][3 * c + 1], 25.0 / 300.0 + 1e-9);   // at most U^2 / R
            ExpectWindowEnergy(rows[i][3 * c + 1], 10.0, energy - rows[i - 1][3 * c]);
            if (i >= 6) ExpectWindowEnergy(rows[i][3 * c + 2], 60.0, energy - rows[i - 6][3 * c]);
        }
    }
    for (int c = 0; c < 3; ++c) spent += rows.back()[3 * c];
    EXPECT_GT(spent, 0.0);
}

TEST(CoilQuantities, AnUnknownCoilFailsTheRunStart)
{
    std::string dir = PrepareCoilExample();
    if (dir.empty()) GTEST_SKIP() << "sdcc is not installed";
    testsupport::WriteFile(dir + "/DataOutput.cfg",
                           "datafile CSV, \"coil.csv\"\n  interval = 1m\n" +
                               Column("E", "SATELIT_COIL_TOTAL_CONSUMPTION_J(\"CUBESAT\", \"W\")") + "end\n");
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 1) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("DATAOUT: cívka \"W\" nebyla v satelitu \"CUBESAT\" nalezena.\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

}  // namespace

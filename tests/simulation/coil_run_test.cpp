// Coils in whole runs: each refused coil block, a drive that does not resolve
// and a drive from a global variable, with the program's exit status and a
// heap left empty.
#include <string>
#include "tests/simulation/program_run.h"

namespace {

const char* kCoilBlock =
    " coil \"X\"\n"
    "  shape = RECTANGULAR, 80 mm, 80 mm\n"
    "  core = NONE\n"
    "  windings = 200\n"
    "  position = 0 mm, 0 mm, 0 mm\n"
    "  direction = VECTOR(1, 0, 0)\n"
    "  resistance = 25\n"
    "  driving = VOLTAGE, 0, 5, 0, 255, GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n"
    " end\n";

struct CoilRun {
    const char* from;     // a line of the coil block
    const char* to;       // its replacement
    int status;           // the program's exit status
    const char* message;  // expected in the log
};

class CoilRunTest : public ProgramRunTest, public ::testing::WithParamInterface<CoilRun> {};

TEST_P(CoilRunTest, ExitStatusAndMessage)
{
    const CoilRun& c = GetParam();
    std::string coil = kCoilBlock;
    coil.replace(coil.find(c.from), std::string(c.from).size(), c.to);
    Write("Objects.cfg", Satellite("S", coil));
    WriteMultipass("00:01");
    EXPECT_EQ(Run(), c.status);
    EXPECT_NE(Log().find(c.message), std::string::npos) << Log();
    ExpectNoLeak();
}

INSTANTIATE_TEST_SUITE_P(
    Coils, CoilRunTest,
    ::testing::Values(
        CoilRun{"resistance = 25", "resistance = 0", 1, "COIL: chybné určení činného odporu cívky na řádku 13.\n"},
        CoilRun{"0, 255,", "7, 7,", 1, "COIL: chybné určení MAX výstupu modulu na řádku 14.\n"},
        CoilRun{"VECTOR(1, 0, 0)", "VECTOR(0, 0, 0)", 1, "COIL: chybné určení směru momentu cívky na řádku 12.\n"},
        CoilRun{"GLOBAL_VARIABLE(\"Module_System_Time_10ms\")", "MODULE_OUTPUT(\"ACS\", \"CoilX\")", 1,
                "SATELIT: chyba startu cívky X v satelitu S.\n"},
        CoilRun{"GLOBAL_VARIABLE(\"Module_System_Time_10ms\")", "GLOBAL_VARIABLE(\"MagVector_Orbit_Unit\")", 1,
                "je chybného typu\n"},
        CoilRun{"resistance = 25", "resistance = 25", 0,
                "COIL: cívka \"X\" je řízena globální proměnnou"}));

}  // namespace

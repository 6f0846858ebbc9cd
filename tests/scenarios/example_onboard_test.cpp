// The on-board example as a user runs it: its C modules built with the
// project's build step, the program headless in virtual time.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

int RunProgramIn(const std::string& dir)
{
    return scenario::Wait(scenario::StartIn(dir), 120000);
}

TEST(ExampleOnboard, ModulesGreetExchangeMessagesAndReportEveryMinute)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = scenario::CopyExample("onboard", {"acs", "comm"});
    ASSERT_EQ(RunProgramIn(dir), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    size_t greeting = log.find("ACS: hello from the attitude controller\nCOMM: hello from the radio\n");
    size_t listed = log.find("Satelit: LEO\n");
    ASSERT_NE(greeting, std::string::npos) << log;
    EXPECT_LT(greeting, listed);
    EXPECT_NE(log.find("COMM: cold start\nCOMM: warm start\n"), std::string::npos) << log;
    // One field report a second from the first second on; the radio answers
    // each within the same second.
    EXPECT_NE(log.find("ACS 60 s: B = ("), std::string::npos) << log;
    EXPECT_NE(log.find("reports 600, answers 599\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
    EXPECT_EQ(log.find("CHYBA"), std::string::npos) << log;
}

TEST(ExampleOnboard, AnUndeclaredInputEndsTheProgramWithBothMessagesAndNoLeak)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = scenario::CopyExample("onboard", {"acs", "comm"});
    std::string objects = testsupport::ReadFile(dir + "/Objects.cfg");
    size_t at = objects.find("        kombus_buffers = 2, 2\n");
    ASSERT_NE(at, std::string::npos);
    // A repeated code line replaces the first image; its machine is freed.
    objects.insert(at, "        input \"Extra\" = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n"
                       "        code = X51, \"comm.img\"\n");
    testsupport::WriteFile(dir + "/Objects.cfg", objects);
    ASSERT_EQ(RunProgramIn(dir), 1) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("SWMODULE: vstup \"Extra\" modulu \"COMM\" nebyl modulem nakonfigurován.\n"
                       "SATELIT: start palubních modulů pro satelit LEO nebyl úspěšný.\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

// The controller's image with the zero byte after "CommPower" made 0x10: the
// name runs on into the greeting and its line end. The two messages about it
// stay one line each, the control characters shown as \xNN, and the start
// fails on the undeclared output.
TEST(ExampleOnboard, AModuleNameWithControlCharactersKeepsEachMessageOnItsLine)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = scenario::CopyExample("onboard", {"acs", "comm"});
    std::string image = testsupport::ReadFile(dir + "/acs.img");
    size_t at = image.find(std::string("CommPower\0ACS: hello from the attitude controller\n", 50));
    ASSERT_NE(at, std::string::npos);
    image[at + 9] = '\x10';
    testsupport::WriteFile(dir + "/acs.img", image);
    ASSERT_EQ(RunProgramIn(dir), 1) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    std::string name = "CommPower\\x10ACS: hello from the attitude controller\\x0A";
    EXPECT_NE(log.find("SWMODULE: chyba modulu - volání funkce SetupOutput pro neexistující výstup (" + name +
                       ").\nSWMODULE: Chyba funkce BindOutput: lokální jméno \"" + name +
                       "\" nebylo nakonfigurovanáno\nACS: hello from the attitude controller\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("SWMODULE: výstup \"CommPower\" modulu \"ACS\" nebyl modulem nakonfigurován.\n"),
              std::string::npos);
    EXPECT_EQ(log.find('\x10'), std::string::npos);
}

}  // namespace

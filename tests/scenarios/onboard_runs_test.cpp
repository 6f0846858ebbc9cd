// Whole program runs with modules built with sdcc, headless in virtual time:
// the periodic entries counted per simulated second, a power chain's cold and
// warm starts, bus deliveries at times worked out from the token ring, and a
// two-run series that ends each run with a power-on still pending.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

// Counts its entries; once a second logs the 1 ms and 10 ms runs of that
// second. Its output "ChainPower" is on in seconds 0-2, 4-6 and from 9 on.
const char* kClock = R"(#include "module_services.h"
__xdata unsigned int ones, tens, seconds;
__xdata unsigned char chain_power;
void ms1(void) { ++ones; }
void ms10(void) { ++tens; chain_power = seconds < 3 || (seconds >= 4 && seconds < 7) || seconds >= 9; }
void ms1000(void)
{
    ++seconds;
    M_DEBUG_Printf("Clock %u: %u %u\n", seconds, ones, tens);
    ones = 0;
    tens = 0;
}
void main(void)
{
    M_RegisterEntry(M_ENTRY_1MS, ms1);
    M_RegisterEntry(M_ENTRY_10MS, ms10);
    M_RegisterEntry(M_ENTRY_1000MS, ms1000);
    SetupOutput(M_CODE_NAME("ChainPower"), M_TYPE_BYTE, &chain_power);
    BindOutput(M_CODE_NAME("ChainPower"), M_ENTRY_10MS);
}
)";

const char* kChain = R"(#include "module_services.h"
void cold(void) { M_DEBUG_String(M_CODE_NAME("Chain cold\n")); }
void warm(void) { M_DEBUG_String(M_CODE_NAME("Chain warm\n")); }
void main(void)
{
    M_RegisterEntry(M_ENTRY_COLD_START, cold);
    M_RegisterEntry(M_ENTRY_WARM_START, warm);
}
)";

// Sends a 4-byte message to address 5 once a second.
const char* kPing = R"(#include "module_services.h"
void each_second(void)
{
    m_message m;
    if (!KOM_PripravitVystupniZpravu()) return;
    m = KOM_PointerVystupniZpravy();
    m[0] = 4;
    m[1] = 5;
    m[2] = 'p';
    m[3] = 0;
    KOM_OdeslatVystupniZpravu();
}
void main(void) { M_RegisterEntry(M_ENTRY_1000MS, each_second); }
)";

// Marks each received message with a stamped bus log line.
const char* kPong = R"(#include "module_services.h"
void heard(void) { KOM_Inicializace(); }
void main(void) { M_RegisterEntry(M_ENTRY_BUS_MESSAGE, heard); }
)";

const char* kObjects = R"(satelit
  name = "Runner"
  orbit_model = SIMPLE_KEPLER
  kepler_meanmotion = 15.5
  kepler_inclination = 30
  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)
  mass_model "cube", "cube.mass"
  surface_model = "cube", "cube.surf"
  onboard_module "Clock"
    code = X51, "clock.img"
    output "ChainPower"
  end
  onboard_module "Chain"
    code = X51, "chain.img"
    power = MODULE_OUTPUT("Clock", "ChainPower")
    delay_power_on = 500ms
    delay_power_off = 100ms
    power_out_cold = 2s
  end
  onboard_module "Ping"
    code = X51, "ping.img"
    kombus_implementation = SMALL
    kombus_address = 2
  end
  onboard_module "Pong"
    code = X51, "pong.img"
    delay_power_on = 1ms
    kombus_implementation = LARGE
    kombus_address = 5
    kombus_buffers = 2, 0
  end
  onboard_module "Late"
    code = X51, "chain.img"
    delay_power_on = 1m
  end
end
)";

size_t Occurrences(const std::string& text, const std::string& piece)
{
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

TEST(OnboardRuns, EntriesPowerAndBusFollowTheirTimesInEveryRun)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = testsupport::MakeTempDir("onboard-runs");
    const std::pair<const char*, const char*> sources[] = {
        {"clock", kClock}, {"chain", kChain}, {"ping", kPing}, {"pong", kPong}};
    for (const auto& [name, source] : sources) {
        testsupport::WriteFile(dir + "/" + name + ".c", source);
        ASSERT_EQ(scenario::BuildModule(dir + "/" + name + ".c", dir + "/" + name + ".img"), 0) << name;
    }
    testsupport::WriteFile(dir + "/Objects.cfg", kObjects);
    testsupport::InstallModelPair(dir);
    testsupport::WriteFile(dir + "/Multipass.cfg",
                           "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, 00:00:10\")\n"
                           "simulationspeed = FASTEST\n"
                           "parameter \"Pass\", RAMP\n start = 1\n stop = 3\n step = 1\nend\n");
    int status = scenario::Wait(scenario::StartIn(dir), 120000);
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    ASSERT_EQ(status, 0) << log;

    // Every simulated second: exactly 1000 runs of the 1 ms entry and 100 of the 10 ms entry.
    for (int second = 1; second <= 10; ++second)
        EXPECT_EQ(Occurrences(log, "Clock " + std::to_string(second) + ": 1000 100\n"), 2u) << second << "\n" << log;
    // On at 0 s: cold (the cold start entry, then the warm one). Off from
    // 3.01 s to 4.01 s (under 2 s): warm. Off from 7.01 s to 9.01 s: cold again.
    EXPECT_EQ(Occurrences(log, "Chain cold\n"), 4u) << log;
    EXPECT_EQ(Occurrences(log, "Chain warm\n"), 6u) << log;
    size_t firstRun = log.find("Chain cold\nChain warm\n");
    ASSERT_NE(firstRun, std::string::npos) << log;
    size_t warmOnly = log.find("Chain warm\n", firstRun + 22);
    ASSERT_NE(warmOnly, std::string::npos);
    EXPECT_EQ(log.find("Chain cold\n", firstRun + 11), log.find("Chain cold\nChain warm\n", warmOnly)) << log;

    // Ping (2) connects first: tokens at 2 come 5 ms after the start and every
    // 11 + 23 ms after that. The message of second s waits for the first
    // token from s on and arrives 2 ms later: 1.027, 2.013, 3.033 s.
    for (const char* stamp : {"00:00:01.027", "00:00:02.013", "00:00:03.033"})
        EXPECT_EQ(Occurrences(log, std::string("01.01.2006 ") + stamp +
                                       ": Modul \"Pong\" vyvolal funkci KOM_Inicializace: v simulátoru se ignoruje.\n"),
                  2u)
            << stamp << "\n" << log;
    EXPECT_EQ(log.find("interní chyba"), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

}  // namespace

// Module power with its delays and cold/warm starts, the periodic entries,
// and the feeding of inputs and propagation of outputs around each run.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "tests/onboard/module_harness.h"

namespace {

using moduletest::ModuleTest;

// Counts its start entries and its periodic runs in external RAM.
const char* kCounter = R"(
__xdata __at(0x200) unsigned int counts[5];   /* cold, warm, 1 ms, 10 ms, 1000 ms */
__xdata int level;                /* output "Level" */
__xdata int input;                /* input "In" */
void cold(void) { ++counts[0]; }
void warm(void) { ++counts[1]; }
void ms1(void) { ++counts[2]; }
void ms10(void) { ++counts[3]; level = input + 1; }
void ms1000(void) { ++counts[4]; }
void main(void)
{
    M_RegisterEntry(M_ENTRY_COLD_START, cold);
    M_RegisterEntry(M_ENTRY_WARM_START, warm);
    M_RegisterEntry(M_ENTRY_1MS, ms1);
    M_RegisterEntry(M_ENTRY_10MS, ms10);
    M_RegisterEntry(M_ENTRY_1000MS, ms1000);
}
)";

// Starts silent; its 10 ms entry copies "Switch" (xram 0x100) to the output "Power".
const char* kSwitch = R"(
__xdata __at(0x100) unsigned char next_power;
__xdata unsigned char power;
void tick(void) { power = next_power; }
void main(void)
{
    M_RegisterEntry(M_ENTRY_10MS, tick);
    SetupOutput(M_CODE_NAME("Power"), M_TYPE_BYTE, &power);
    BindOutput(M_CODE_NAME("Power"), M_ENTRY_10MS);
}
)";

class PowerTest : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        if (!moduletest::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
        start_ = g_simClock.clock;
    }

    static uint16_t Count(SWMODULE* m, int index)
    {
        const uint8_t* x = m->cpu->xram + 0x200;
        return static_cast<uint16_t>(x[2 * index] | x[2 * index + 1] << 8);
    }

    TIME_MS At(TIME_MS offset) const { return start_ + offset; }
    TIME_MS start_ = 0;
};

TEST_F(PowerTest, ColdAndWarmStartsFollowTheOutageAndTheDelays)
{
    // A global variable never switches power: the test switches it itself.
    ASSERT_TRUE(Parse(Block("Target", Image("counter", kCounter),
                            "  power = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n"
                            "  delay_power_on = 500ms\n  delay_power_off = 100ms\n  power_out_cold = 1s\n")));
    LOG_Init();
    ASSERT_TRUE(SWMODULE_StartModules(modules_));
    EXPECT_EQ(Log(), "SWMODULE: modul \"Target\" je napájen z globální proměnné, ta jej nezapíná; modul zůstane "
                     "vypnutý.\n");
    SWMODULE* m = Module("Target");
    EXPECT_EQ(m->period, 1u);
    EXPECT_EQ(m->powerState, SWMODULE_POWER_OFF);
    EXPECT_EQ(m->powerLostTime, start_ - 100000000000LL);

    SWMODULE_SetPower(m, 1);
    RunUntil(At(499));
    EXPECT_EQ(m->powerState, SWMODULE_POWER_GOING_ON);
    EXPECT_EQ(Count(m, 0), 0);
    RunUntil(At(501));
    EXPECT_EQ(m->powerState, SWMODULE_POWER_ON);
    EXPECT_EQ(m->powerOnTime, At(500));
    EXPECT_EQ(Count(m, 0), 1);
    EXPECT_EQ(Count(m, 1), 1);

    RunUntil(At(2000));
    SWMODULE_SetPower(m, 0);
    RunUntil(At(2100));
    EXPECT_EQ(m->powerState, SWMODULE_POWER_GOING_OFF);
    RunUntil(At(2101));
    EXPECT_EQ(m->powerState, SWMODULE_POWER_OFF);
    RunUntil(At(2300));
    SWMODULE_SetPower(m, 1);
    RunUntil(At(2801));   // 0.8 s since power was removed: warm
    EXPECT_EQ(Count(m, 0), 1);
    EXPECT_EQ(Count(m, 1), 2);

    SWMODULE_SetPower(m, 0);   // at 2.801 s, off at 2.901 s
    RunUntil(At(3301));
    SWMODULE_SetPower(m, 1);   // on at 3.801 s: exactly 1 s without power
    RunUntil(At(3802));
    EXPECT_EQ(Count(m, 0), 2);
    EXPECT_EQ(Count(m, 1), 3);

    // Power lost during the power-on delay: no run, no stale event.
    SWMODULE_SetPower(m, 0);
    RunUntil(At(4000));
    SWMODULE_SetPower(m, 1);
    RunUntil(At(4200));
    SWMODULE_SetPower(m, 0);
    EXPECT_EQ(m->powerState, SWMODULE_POWER_OFF);
    EXPECT_EQ(m->powerEvent, EVENT_HANDLE_NONE);
    RunUntil(At(6000));
    EXPECT_EQ(Count(m, 0), 2);
    EXPECT_EQ(Count(m, 1), 3);
    // Power regained during the power-off delay: on again without a run.
    SWMODULE_SetPower(m, 1);
    RunUntil(At(6600));
    SWMODULE_SetPower(m, 0);
    RunUntil(At(6650));
    SWMODULE_SetPower(m, 1);
    EXPECT_EQ(m->powerState, SWMODULE_POWER_ON);
    RunUntil(At(8000));
    EXPECT_EQ(m->powerState, SWMODULE_POWER_ON);
    EXPECT_EQ(Count(m, 1), 4);
    m->powerState = 9;
    SWMODULE_SetPower(m, 1);
    EXPECT_EQ(m->powerState, SWMODULE_POWER_OFF);
    EXPECT_EQ(Log().find("interní chyba"), std::string::npos) << Log();
}

TEST_F(PowerTest, PeriodicEntriesRunByTheirRules)
{
    ASSERT_TRUE(Parse(Block("Counter", Image("counter", kCounter))));
    ASSERT_TRUE(SWMODULE_StartModules(modules_));
    SWMODULE* m = modules_;
    RunUntil(At(1));   // the power-on event fires; the first tick of the module follows
    ASSERT_EQ(m->powerState, SWMODULE_POWER_ON);
    TIME_MS on = g_simClock.clock;
    uint16_t ones = 0, tens = 0;
    auto mark = [&] { ones = Count(m, 2); tens = Count(m, 3); };   // the 1 ms and 10 ms counts so far
    auto tickAfter = [&](TIME_MS step) { g_simClock.clock += step; SWMODULE_Tick(m); };
    mark();

    // Over 10 simulated seconds in 1 ms steps: exactly 1000, 100 and 1 per second.
    RunUntil(on + 10000);
    EXPECT_EQ(Count(m, 2) - ones, 10000);
    EXPECT_EQ(Count(m, 3) - tens, 1000);
    EXPECT_EQ(Count(m, 4), 10);

    // A 25 ms gap after a 10 ms run: ten 1 ms runs (the rest is dropped), two
    // 10 ms runs and 5 ms carried over to the next 10 ms decision.
    g_simClock.clock = on + 10009;
    SWMODULE_Tick(m);
    ASSERT_EQ(m->lastRun[1], g_simClock.clock);
    mark();
    tickAfter(25);
    EXPECT_EQ(Count(m, 2) - ones, 10);
    EXPECT_EQ(Count(m, 3) - tens, 2);
    EXPECT_EQ(m->lastRun[1], g_simClock.clock - 5);
    tickAfter(5);
    EXPECT_EQ(Count(m, 3) - tens, 3);

    // A clock set back runs nothing and returns.
    mark();
    tickAfter(-5000);
    EXPECT_EQ(Count(m, 2), ones);
    EXPECT_EQ(Count(m, 3), tens);
    g_simClock.clock += 5000;

    // A tick while the module is off sets the first-tick flags: the first
    // tick after power-on runs each due entry once, whatever time has passed.
    m->powerState = SWMODULE_POWER_OFF;
    SWMODULE_Tick(m);
    m->powerState = SWMODULE_POWER_ON;
    mark();
    tickAfter(7);
    EXPECT_EQ(Count(m, 2) - ones, 1);
    EXPECT_EQ(Count(m, 3), tens);
    tickAfter(30);
    EXPECT_EQ(Count(m, 3) - tens, 1);
}

std::vector<std::string> g_events;
uint32_t g_providerCalls = 0;

void CountingProvider(SW_GLOBVAR* variable)
{
    ++g_providerCalls;
    SWTYPE_SetIntComponent(&variable->value, 0, 41);
}

void RecordPhase(uint32_t phase, void* owner, uint32_t, SW_VALUE* value)
{
    auto* modules = static_cast<SWMODULE**>(owner);
    g_events.push_back(std::to_string(phase) + ":" + std::to_string(SWTYPE_GetIntValue(value)) + ":" +
                       std::to_string(modules[0]->powerState) + std::to_string(modules[1]->powerState));
}

TEST_F(PowerTest, InputsAreFedAndOutputsPropagatedAroundEachRun)
{
    SWMODULE_RegisterGlobalVariable("Counted", SWTYPE_INT, CountingProvider);
    const char* declare = R"(
__xdata int in_global;
__xdata int in_output;
__xdata int level;
void ms10(void) { level = in_global + in_output; }
void main(void)
{
    M_RegisterEntry(M_ENTRY_10MS, ms10);
    M_RegisterEntry(M_ENTRY_1MS, ms10);
    SetupInput(M_CODE_NAME("Global"), M_TYPE_INT, &in_global);
    SetupInput(M_CODE_NAME("FromSwitch"), M_TYPE_INT, &in_output);
    BindInput(M_CODE_NAME("Global"), M_ENTRY_10MS);
    SetupOutput(M_CODE_NAME("Level"), M_TYPE_INT, &level);
    BindOutput(M_CODE_NAME("Level"), M_ENTRY_10MS);
    BindInput(M_CODE_NAME("Global"), M_ENTRY_1MS);
    BindInput(M_CODE_NAME("FromSwitch"), M_ENTRY_10MS);
}
)";
    std::string counter = Image("counter", kCounter);
    ASSERT_TRUE(Parse(Block("Switch", Image("switch", kSwitch), "  output \"Power\"\n") +
                      Block("Reader", Image("reader", declare),
                            "  input \"Global\" = GLOBAL_VARIABLE(\"counted\")\n"
                            "  input \"FromSwitch\" = MODULE_OUTPUT(\"Switch\", \"Power\")\n"
                            "  output \"Level\"\n") +
                      Block("First", counter, "  power = MODULE_OUTPUT(\"Switch\", \"Power\")\n") +
                      Block("Second", counter, "  power = MODULE_OUTPUT(\"Switch\", \"Power\")\n")));
    ASSERT_TRUE(SWMODULE_StartModules(modules_));
    SWMODULE* sw = Module("Switch");
    SWMODULE* reader = Module("Reader");
    SWMODULE* powered[2] = {Module("First"), Module("Second")};
    ASSERT_EQ(sw->outputs[0].poweredCount, 2);
    EXPECT_EQ(sw->outputs[0].powered[0], powered[0]);
    ASSERT_TRUE(SWMODULE_AddReferer(sw, "Power", RecordPhase, powered, 7));
    RunUntil(At(1));

    // One provider call per fed input: nine 1 ms runs and one 10 ms run.
    g_providerCalls = 0;
    g_simClock.clock = At(10);
    SWMODULE_Tick(reader);
    EXPECT_EQ(g_providerCalls, 10u);
    // A module output is read afresh from the source's memory for each feed.
    sw->cpu->xram[sw->outputs[0].address] = 5;
    g_simClock.clock = At(20);
    SWMODULE_Tick(reader);
    SWMODULE_ReadVariable(reader, &reader->outputs[0]);
    EXPECT_EQ(SWTYPE_GetIntValue(&reader->outputs[0].value), 46);
    EXPECT_EQ(sw->outputs[0].refreshStamp, static_cast<uint32_t>(At(20)));

    // The switch's output powers both modules in module order, before its
    // referers see phase 2.
    g_events.clear();
    sw->cpu->xram[0x100] = 1;
    g_simClock.clock = At(30);
    SWMODULE_Tick(sw);
    std::vector<std::string> expected = {"1:5:11", "2:1:22", "3:1:22"};
    EXPECT_EQ(g_events, expected);
    EXPECT_LT(powered[0]->powerEvent, powered[1]->powerEvent);
    // Repeated "on" values change nothing; "off" during the delay cancels.
    g_simClock.clock = At(40);
    SWMODULE_Tick(sw);
    EXPECT_EQ(powered[1]->powerState, SWMODULE_POWER_GOING_ON);
    sw->cpu->xram[0x100] = 0;
    g_simClock.clock = At(50);
    SWMODULE_Tick(sw);
    EXPECT_EQ(powered[0]->powerState, SWMODULE_POWER_OFF);
    EXPECT_EQ(powered[1]->powerState, SWMODULE_POWER_OFF);
}

TEST_F(PowerTest, PowerEventsAreCancelledAtDestroyAndAMissingHandleIsReportedOnce)
{
    ASSERT_TRUE(Parse(Block("Late", Image("counter", kCounter), "  delay_power_on = 1s\n")));
    ASSERT_TRUE(SWMODULE_StartModules(modules_));
    ASSERT_NE(modules_->powerEvent, EVENT_HANDLE_NONE);
    EXPECT_EQ(EVENTS_Count(), 1u);
    FreeModules();
    EXPECT_EQ(EVENTS_Count(), 0u);

    // An event fired at a later time makes a schedule for now impossible.
    ASSERT_TRUE(Parse(Block("Early", Image("counter2", kCounter), "  power = MODULE_OUTPUT(\"Early\", \"X\")\n"
                                                                  "  output \"X\"\n")));
    EVENT later;
    EVENTS_ClearEvent(&later);
    later.dueTime = At(100);
    EVENTS_Schedule(&later);
    RunUntil(At(101));
    g_simClock.clock = At(50);
    SWMODULE* m = modules_;
    m->powerState = SWMODULE_POWER_OFF;
    LOG_Init();
    SWMODULE_SetPower(m, 1);
    SWMODULE_SetPower(m, 0);
    SWMODULE_SetPower(m, 1);
    EXPECT_EQ(m->powerEvent, EVENT_HANDLE_NONE);
    EXPECT_EQ(m->powerState, SWMODULE_POWER_GOING_ON);
    EXPECT_EQ(Log(), "SWMODULE: změnu napájení modulu \"Early\" nelze naplánovat, modul na ni bude čekat trvale.\n");
}

}  // namespace

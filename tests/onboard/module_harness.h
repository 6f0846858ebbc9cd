// On-board modules under test: C sources built into images with the project's
// build step (scripts/build_module.sh and sdcc), module blocks read from a
// configuration file, and a small driver of the clock, the event queue and
// the module ticks.
#pragma once
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "onboard/swmodule.h"
#include "foundation/events.h"
#include "simulation/main.h"
#include "simulation/satelit.h"
#include "tests/foundation/iotxt_test_support.h"
#include "tests/support/test_support.h"

namespace moduletest {

inline bool SdccPresent()
{
    return std::system("command -v sdcc >/dev/null 2>&1 && command -v makebin >/dev/null 2>&1") == 0;
}

// Builds the C source into "<dir>/<name>.img"; the build log goes to error on failure.
inline bool BuildImage(const std::string& dir, const std::string& name, const std::string& source, std::string* error)
{
    testsupport::WriteFile(dir + "/" + name + ".c", source);
    std::string command = "bash '" ORBIT_SOURCE_DIR "/scripts/build_module.sh' '" + dir + "/" + name + ".c' '" + dir +
                          "/" + name + ".img' >'" + dir + "/" + name + ".log' 2>&1";
    if (std::system(command.c_str()) == 0) return true;
    *error = testsupport::ReadFile(dir + "/" + name + ".log");
    return false;
}

// The header every module source starts with.
inline std::string Source(const std::string& body)
{
    return "#include \"module_services.h\"\n" + body;
}

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        g_simClock = SIM_CLOCK{};
        g_simClock.clock = g_simClock.runStart = testsupport::MsOf(2006, 1, 1);
        EVENTS_Init();
        EVENTS_StartRun();
        SWMODULE_InitGlobals();
        SATELIT_SetCurrent(nullptr);
        dir_ = testsupport::MakeTempDir("modules");
    }

    void TearDown() override
    {
        EVENTS_EndRun();
        FreeModules();
        SWMODULE_FreeGlobals();
        SWMODULE_CurrentModule = nullptr;
        EVENTS_Done();
    }

    void FreeModules()
    {
        while (modules_) {
            SWMODULE* next = modules_->next;
            SWMODULE_Destroy(modules_);
            modules_ = next;
        }
    }

    // Builds a module image, failing the test when sdcc is missing or fails.
    std::string Image(const std::string& name, const std::string& body)
    {
        std::string error;
        EXPECT_TRUE(BuildImage(dir_, name, Source(body), &error)) << error;
        return dir_ + "/" + name + ".img";
    }

    // Reads the "onboard_module" blocks of the text and links them; false when
    // a block or a link fails.
    bool Parse(const std::string& text)
    {
        iotxttest::ScopedFile file("Modules.cfg", text);
        if (!IOTXT_OpenFile("Modules.cfg")) return false;
        bool ok = true;
        SWMODULE** tail = &modules_;
        while (*tail) tail = &(*tail)->next;
        while (ok && IOTXT_NextLine()) {
            SWMODULE* module = IOTXT_MatchWord("onboard_module") ? SWMODULE_ParseDefinition() : nullptr;
            if (!module) {
                ok = false;
            } else {
                module->satelliteName = kSatellite;
                tail = &(*tail = module)->next;
            }
        }
        IOTXT_CloseFile();
        for (SWMODULE* m = modules_; ok && m; m = m->next) ok = SWMODULE_LinkConnections(m, modules_) != 0;
        return ok;
    }

    // A block with the given module name, image and further lines.
    static std::string Block(const std::string& name, const std::string& image, const std::string& lines = "")
    {
        return "onboard_module \"" + name + "\"\n  code = X51, \"" + image + "\"\n" + lines + "end\n";
    }

    SWMODULE* Module(const char* name) { return SWMODULE_FindByName(modules_, name); }

    // Moves the clock by whole milliseconds to the given time, firing due
    // events and ticking due modules at every millisecond.
    void RunUntil(TIME_MS end)
    {
        while (g_simClock.clock < end) {
            ++g_simClock.clock;
            Step();
        }
    }

    void Step()
    {
        TIME_MS now = g_simClock.clock;
        uint32_t word;
        while (EVENTS_ClampClockToNext(&word)) {
            EVENTS_FireNext();
            g_simClock.clock = now;
        }
        for (SWMODULE* m = modules_; m; m = m->next) {
            if (now - m->lastTick < static_cast<TIME_MS>(m->period)) continue;
            m->lastTick = now;
            SWMODULE_Tick(m);
        }
    }

    std::string Log() { return iotxttest::LogText(); }

    // The satellite the modules' log lines name.
    static constexpr const char* kSatellite = "Runner";

    std::string dir_;
    SWMODULE* modules_ = nullptr;
};

}  // namespace moduletest

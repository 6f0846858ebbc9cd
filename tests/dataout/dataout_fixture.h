// Shared set-up of the data output tests: a private working folder, the
// program-wide modules initialised once, configuration texts loaded from
// uniquely named files, and the log read back as text.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>
#include "dataout/dataout.h"
#include "dataout/dvhan.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "simulation/main.h"
#include "simulation/multipass.h"
#include "tests/support/test_support.h"

namespace dataouttest {

using testsupport::MsOf;

// The folder in which configuration files are looked up.
inline std::string ConfigPath(const std::string& name)
{
    return std::string(MEMORY_ProgramDirectory()) + "/" + name;
}

// Count of non-overlapping occurrences of part in text.
inline int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Appends a node of the given type and data to the node list.
inline DATAOUT_NODE* AddNode(const char* name, const DVHAN_ROW* type, void* data)
{
    DATAOUT_NODE* node = (DATAOUT_NODE*)POOL_Alloc(sizeof(DATAOUT_NODE) + 1);
    char* copy = (char*)POOL_Alloc((uint32_t)strlen(name) + 4);
    strcpy(copy, name);
    *node = DATAOUT_NODE{copy, type, data, nullptr};
    if (g_dataout.lastNode) g_dataout.lastNode->next = node;
    else g_dataout.firstNode = node;
    g_dataout.lastNode = node;
    return node;
}

class DataoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!workDir_.empty()) return;
        workDir_ = testsupport::MakeTempDir("dataout");
        if (chdir(workDir_.c_str()) != 0) FAIL() << "cannot enter " << workDir_;
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        IOTXT_Init();
        MULTIPASS_Init();
    }
    void SetUp() override
    {
        g_simClock = SIM_CLOCK{};
        g_simClock.clock = g_simClock.runStart = MsOf(2006, 1, 1, 12, 0, 3);
        TakeLog();
        DATAOUT_Init();
    }
    void TearDown() override { DATAOUT_Done(); }
    // Starts again with no files and nodes and an empty log.
    void Reset()
    {
        DATAOUT_Done();
        DATAOUT_Init();
        TakeLog();
    }
    // Writes the text to a fresh configuration file and loads it.
    uint32_t Load(const std::string& text)
    {
        static int counter = 0;
        std::string name = "dataout_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".cfg";
        testsupport::WriteFile(ConfigPath(name), text);
        uint32_t result = DATAOUT_LoadConfigFile(name.c_str());
        std::remove(ConfigPath(name).c_str());
        return result;
    }
    // The log written since the last call.
    std::string TakeLog()
    {
        LOG_Done();
        std::string text = testsupport::ReadFile("Zendrix.log");
        LOG_Init();
        return text;
    }
    // One step of the scheduler's data output part, as the tick does: the
    // clock stops at every row due on the way.
    void Step(uint32_t length)
    {
        TIME_MS target = g_simClock.clock + length;
        for (TIME_MS due; (due = DATAOUT_NextSaveTime()) <= target;) {
            if (due > g_simClock.clock) g_simClock.clock = due;
            DATAOUT_WriteDue();
        }
        g_simClock.clock = target;
    }
    static inline std::string workDir_;
};

}

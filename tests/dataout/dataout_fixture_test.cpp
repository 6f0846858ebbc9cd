// The shared fixture of the data output tests (no tests of its own).
#include "tests/dataout/dataout_fixture.h"
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "simulation/main.h"
#include "simulation/multipass.h"
#include "tests/support/test_support.h"

namespace dataouttest {

std::string DataoutTest::workDir_;

std::string ConfigPath(const std::string& name)
{
    return std::string(MEMORY_ProgramDirectory()) + "/" + name;
}

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

DATAOUT_NODE* AddNode(const char* name, const DVHAN_ROW* type, void* data)
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

void DataoutTest::SetUpTestSuite()
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

void DataoutTest::SetUp()
{
    g_simClock = SIM_CLOCK{};
    g_simClock.clock = MsOf(2006, 1, 1, 12, 0, 3);
    g_simClock.runStart = g_simClock.clock;
    TakeLog();
    DATAOUT_Init();
}

void DataoutTest::TearDown()
{
    DATAOUT_Done();
}

uint32_t DataoutTest::Load(const std::string& text)
{
    static int counter = 0;
    std::string name = "dataout_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".cfg";
    testsupport::WriteFile(ConfigPath(name), text);
    uint32_t result = DATAOUT_LoadConfigFile(name.c_str());
    std::remove(ConfigPath(name).c_str());
    return result;
}

std::string DataoutTest::TakeLog()
{
    LOG_Done();
    std::string text = testsupport::ReadFile("Zendrix.log");
    LOG_Init();
    return text;
}

// As the tick does: the clock stops at every row due on the way.
void DataoutTest::Step(uint32_t length)
{
    TIME_MS target = g_simClock.clock + length;
    for (TIME_MS due; (due = DATAOUT_NextSaveTime()) <= target;) {
        if (due > g_simClock.clock) g_simClock.clock = due;
        DATAOUT_WriteDue();
    }
    g_simClock.clock = target;
}

}

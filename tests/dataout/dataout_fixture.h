// Shared set-up of the data output tests: a private working folder, the
// program-wide modules initialised once, configuration texts loaded from
// uniquely named files, and the log read back as text.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "dataout/dataout.h"
#include "dataout/dvhan.h"
#include "tests/support/test_support.h"

namespace dataouttest {

using testsupport::MsOf;
// The folder in which configuration files are looked up.
std::string ConfigPath(const std::string& name);
// Count of non-overlapping occurrences of part in text.
int CountOf(const std::string& text, const std::string& part);
// Appends a node of the given type and data to the node list.
DATAOUT_NODE* AddNode(const char* name, const DVHAN_ROW* type, void* data);

class DataoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
    // Writes the text to a fresh configuration file and loads it.
    uint32_t Load(const std::string& text);
    // The log written since the last call.
    std::string TakeLog();
    // One step of the scheduler's data output part: the clock moves on, a due
    // row pulls it back and is written.
    void Step(uint32_t length);
    static std::string workDir_;
};

}

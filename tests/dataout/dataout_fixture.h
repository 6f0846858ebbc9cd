// Shared set-up of the data output tests: a private working folder, the
// program-wide modules initialised once, configuration texts loaded from
// uniquely named files, and the log read back as text.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "dataout/dataout.h"
#include "foundation/time.h"

namespace dataouttest {

// Milliseconds of a calendar time on the simulation clock's scale.
TIME_MS At(int day, int month, int year, int hour, int minute, int second, int ms);
// The folder in which configuration files are looked up.
std::string ConfigPath(const std::string& name);
// Count of non-overlapping occurrences of part in text.
int CountOf(const std::string& text, const std::string& part);

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

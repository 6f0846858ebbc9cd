// Helpers for the configuration reader tests: files in the program directory
// and the text of the log.
#pragma once
#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "tests/support/test_support.h"

namespace iotxttest {

inline std::string ProgramFile(const std::string& name)
{
    return std::string(MEMORY_ProgramDirectory()) + "/" + name;
}

// Writes a file into the program directory and removes it when destroyed.
struct ScopedFile {
    std::string path;
    ScopedFile(const std::string& name, const std::string& text) : path(ProgramFile(name))
    {
        testsupport::WriteFile(path, text);
    }
    ~ScopedFile() { std::filesystem::remove(path); }
};

inline std::string LogText()
{
    std::string text = testsupport::ReadFile("Zendrix.log");
    if (text.empty()) text = testsupport::ReadFile(ProgramFile("Zendrix.log"));
    return text;
}

// Makes a text current as if it were a line of a file.
struct ScopedText {
    std::string buffer;
    explicit ScopedText(const std::string& text) : buffer(text)
    {
        IOTXT_Init();
        IOTXT_BeginString(buffer.data());
    }
    ~ScopedText() { IOTXT_EndString(); }
    std::string Rest() const { return IOTXT_GetPosition(); }
};

// A fresh log, heap, pools and configuration reader for each test.
class TextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        IOTXT_Init();
    }
};

}  // namespace iotxttest

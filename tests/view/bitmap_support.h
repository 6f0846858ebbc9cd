// Bitmaps for the view tests, written into the program's folder.
#pragma once
#include <cstdint>
#include <string>
#include "tests/foundation/iotxt_test_support.h"

inline void WriteBitmap(const std::string& name, uint8_t r, uint8_t g, uint8_t b)
{
    testsupport::WriteBitmap(iotxttest::ProgramFile(name), r, g, b);
}

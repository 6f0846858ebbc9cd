// Bitmaps for the view tests, written into the program's folder.
#pragma once
#include <cstdint>
#include <string>
#include "tests/foundation/iotxt_test_support.h"

// A one-colour 24-bit bitmap of 4 x 4 pixels.
inline void WriteBitmap(const std::string& name, uint8_t r, uint8_t g, uint8_t b)
{
    std::string data(54, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++) data[at + i] = (char)((v >> (8 * i)) & 0xFF);
    };
    data[0] = 'B';
    data[1] = 'M';
    put32(2, 54 + 48);
    put32(10, 54);
    put32(14, 40);
    put32(18, 4);
    put32(22, 4);
    data[26] = 1;
    data[28] = 24;
    for (int i = 0; i < 16; i++) data += std::string{(char)b, (char)g, (char)r};
    testsupport::WriteFile(iotxttest::ProgramFile(name), data);
}


// PLAT text: the program's texts are code page 1250 bytes; only what goes to
// a terminal or a desktop widget is converted.
#pragma once
#include <cstdint>
#include <string>

// The Unicode code point of a code page 1250 byte; 0 for an undefined byte.
uint32_t PLAT_Cp1250ToUnicode(uint8_t byte);
// UTF-8 of a zero-terminated code page 1250 text (undefined bytes become U+FFFD).
std::string PLAT_Cp1250ToUtf8(const char* text);

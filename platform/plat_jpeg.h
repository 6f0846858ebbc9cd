// PLAT JPEG: writing a read-back frame as a JPEG file (libjpeg-turbo).
#pragma once
#include <cstdint>

// Bottom-up blue-green-red rows, stride bytes apart; quality is clamped to
// 1..100. 1 when the file was written whole. Otherwise 0 with the reason in
// *error (an errno value, or PLAT_FILE_IS_PIPE for a named pipe, which is
// refused without waiting), and no file is left that was written in part.
uint32_t PLAT_WriteJpeg(const char* fileName, const uint8_t* bgr, int32_t width, int32_t height, uint32_t stride,
                        int32_t quality, int32_t* error);

// JPEG files straight from the bottom-up BGR read-back.
#include "platform/plat_jpeg.h"
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <unistd.h>
#include <jpeglib.h>
#include "platform/plat_file.h"

namespace {

// The library's default error handler ends the process: this one returns.
struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void OnError(j_common_ptr info)
{
    longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void Silent(j_common_ptr, int) {}

}

namespace {

// Compresses the frame into the open file; 0 when the library or the file
// failed, with errno as the failed write left it.
bool Compress(FILE* file, const uint8_t* bgr, int32_t width, int32_t height, uint32_t stride, int32_t quality)
{
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = Silent;
    if (setjmp(errors.jump)) {
        int error = errno;
        jpeg_destroy_compress(&info);
        errno = error;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // Rows come bottom-up: the first line of the picture is the last row.
        JSAMPROW row = const_cast<JSAMPROW>(bgr + static_cast<size_t>(height - 1 - info.next_scanline) * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);   // flushes the file, a failed write ends in OnError
    jpeg_destroy_compress(&info);
    return true;
}

}

uint32_t PLAT_WriteJpeg(const char* fileName, const uint8_t* bgr, int32_t width, int32_t height, uint32_t stride,
                        int32_t quality, int32_t* error)
{
    *error = EINVAL;
    if (!fileName || !bgr || width < 1 || height < 1)
        return 0;
    if (quality < 1) quality = 1;
    if (quality > 100) quality = 100;
    int fd = PLAT_CreateOutputFile(fileName, error);
    if (fd < 0)
        return 0;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        *error = errno;
        close(fd);
        PLAT_RemoveOutputFile(fileName);
        return 0;
    }
    errno = 0;
    bool written = Compress(file, bgr, width, height, stride, quality) && !ferror(file);
    *error = errno ? errno : EIO;
    if (fclose(file) != 0 && written) {
        written = false;
        *error = errno;
    }
    if (written) {
        *error = 0;
        return 1;
    }
    // A JPEG without its end would look like a picture: none is left.
    PLAT_RemoveOutputFile(fileName);
    return 0;
}

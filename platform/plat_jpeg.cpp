// JPEG files straight from the bottom-up BGR read-back.
#include "platform/plat_jpeg.h"
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <new>
#include <jpeglib.h>
#include "platform/plat_file.h"
#include "platform/plat_thread.h"

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

// The library's output goes to the file through the layer's write routine,
// in blocks; the first write the file refuses ends the compression with its
// reason kept.
constexpr size_t kBlockSize = 65536;

struct Destination {
    jpeg_destination_mgr base;
    int fd;
    int32_t error;
    JOCTET block[kBlockSize];
};

void StartBlock(j_compress_ptr info)
{
    Destination* d = reinterpret_cast<Destination*>(info->dest);
    d->base.next_output_byte = d->block;
    d->base.free_in_buffer = kBlockSize;
}

void Put(j_compress_ptr info, size_t count)
{
    Destination* d = reinterpret_cast<Destination*>(info->dest);
    if (!PLAT_WriteAll(d->fd, d->block, count, &d->error))
        longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

boolean PutBlock(j_compress_ptr info)
{
    Put(info, kBlockSize);
    StartBlock(info);
    return TRUE;
}

void PutRest(j_compress_ptr info)
{
    Put(info, kBlockSize - info->dest->free_in_buffer);
}

}

namespace {

// Compresses the frame into the open file; 0 when the library or the file
// failed, with the file's errno value in dest->error (0: the library failed).
bool Compress(Destination* dest, const uint8_t* bgr, int32_t width, int32_t height, uint32_t stride,
              int32_t quality)
{
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = Silent;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    dest->base.init_destination = StartBlock;
    dest->base.empty_output_buffer = PutBlock;
    dest->base.term_destination = PutRest;
    info.dest = &dest->base;
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
    jpeg_finish_compress(&info);   // writes the rest, a failed write ends in Put
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
    Destination* dest = new (std::nothrow) Destination;
    if (!dest) {
        *error = ENOMEM;
        return 0;
    }
    dest->fd = PLAT_CreateOutputFile(fileName, error);
    if (dest->fd < 0) {
        delete dest;
        return 0;
    }
    dest->error = 0;
    bool written = Compress(dest, bgr, width, height, stride, quality);
    *error = dest->error ? dest->error : EIO;
    int fd = dest->fd;
    delete dest;
    if (!written) {
        // A JPEG without its end would look like a picture: none is left,
        // also where a symbolic link of that name pointed.
        int32_t closeError = 0;
        PLAT_DiscardOutputFile(fd, &closeError);
        return 0;
    }
    if (!PLAT_CloseOutputFile(fd, error)) {
        PLAT_RemoveOutputFile(fileName);
        return 0;
    }
    *error = 0;
    return 1;
}

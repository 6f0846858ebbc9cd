// AVI writing with libavformat's muxer, libavcodec's encoders and libswscale.
// The libraries are loaded when the first movie opens: they and what they
// depend on are well over a hundred shared objects, and loading them at every
// start cost more than a short simulation run.
#include "platform/plat_movie.h"
#include <dlfcn.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}
#include "platform/plat_file.h"

struct PLAT_MOVIE {
    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;   // null for raw rows
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int64_t index = 0;
    int32_t width = 0, height = 0;
    bool headerWritten = false;
    // The file is written through our own calls, not FFmpeg's file protocol:
    // its open must not wait on a named pipe, and a write it refuses must be
    // known with its reason.
    std::string fileName;
    int fd = -1;
    AVIOContext* io = nullptr;
    int32_t fileError = 0;   // errno of the first write or seek the file refused
};

namespace {

// The FFmpeg functions in use, each called through a pointer of its own type.
#define PLAT_AV_FUNCTIONS(F) \
    F(av_codec_get_id) F(av_dict_free) F(av_dict_set) F(av_frame_alloc) F(av_frame_free) \
    F(av_frame_get_buffer) F(av_frame_make_writable) F(av_interleaved_write_frame) F(av_log_set_level) \
    F(av_new_packet) F(av_packet_alloc) F(av_packet_free) F(av_packet_rescale_ts) F(av_packet_unref) \
    F(av_write_trailer) F(avcodec_alloc_context3) F(avcodec_find_encoder) F(avcodec_free_context) \
    F(avcodec_open2) F(avcodec_parameters_from_context) F(avcodec_receive_packet) F(avcodec_send_frame) \
    F(avformat_alloc_output_context2) F(avformat_free_context) F(avformat_get_riff_video_tags) \
    F(avformat_new_stream) F(avformat_write_header) F(avio_alloc_context) F(avio_context_free) F(av_malloc) \
    F(av_freep) F(sws_freeContext) F(sws_getContext) F(sws_scale)

#define PLAT_AV_MEMBER(name) decltype(&::name) name;
struct AV_API {
    PLAT_AV_FUNCTIONS(PLAT_AV_MEMBER)
};

#define PLAT_AV_STRING(x) #x
#define PLAT_AV_SONAME(lib, major) "lib" #lib ".so." PLAT_AV_STRING(major)

// The function in any of the loaded libraries; false when none has it.
template <typename T> bool Resolve(void* const* handles, size_t count, const char* name, T* function)
{
    for (size_t i = 0; i < count && !*function; ++i)
        *function = reinterpret_cast<T>(dlsym(handles[i], name));
    return *function != nullptr;
}

AV_API g_api{};   // filled by the first PLAT_OpenMovie

// Loads the libraries of the major versions built against, once; false when
// one of them or one of its functions is missing.
bool LoadApi()
{
    static const bool loaded = [] {
        const char* names[] = {PLAT_AV_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR),
                               PLAT_AV_SONAME(swscale, LIBSWSCALE_VERSION_MAJOR),
                               PLAT_AV_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR),
                               PLAT_AV_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR)};
        void* handles[4] = {};
        for (size_t i = 0; i < 4; ++i)
            if (!(handles[i] = dlopen(names[i], RTLD_NOW | RTLD_LOCAL)))
                return false;
        bool all = true;
#define PLAT_AV_RESOLVE(name) all = Resolve(handles, 4, #name, &g_api.name) && all;
        PLAT_AV_FUNCTIONS(PLAT_AV_RESOLVE)
#undef PLAT_AV_RESOLVE
        if (all)
            g_api.av_log_set_level(AV_LOG_ERROR);
        return all;
    }();
    return loaded;
}

void Blanked(const char in[4], char out[4])
{
    bool tail = true;
    for (int i = 3; i >= 0; --i) {
        tail = tail && in[i] == 0;
        out[i] = tail ? ' ' : in[i];
    }
}

// Frees everything; 1 when the file (if one was made) closed without error.
bool Free(PLAT_MOVIE* m)
{
    if (m->codec)
        g_api.avcodec_free_context(&m->codec);
    g_api.sws_freeContext(m->scaler);
    g_api.av_frame_free(&m->frame);
    g_api.av_packet_free(&m->packet);
    if (m->format)
        g_api.avformat_free_context(m->format);
    if (m->io) {
        g_api.av_freep(&m->io->buffer);
        g_api.avio_context_free(&m->io);
    }
    int32_t error = 0;
    bool closed = m->fd < 0 || PLAT_CloseOutputFile(m->fd, &error);
    delete m;
    if (!closed)
        errno = error;
    return closed;
}

// Frees the movie and removes what was written of its file: the file it was
// made as, also when its name is a symbolic link.
void Discard(PLAT_MOVIE* m)
{
    int fd = m->fd;
    m->fd = -1;
    Free(m);
    int32_t error = 0;
    if (fd >= 0)
        PLAT_DiscardOutputFile(fd, &error);
}

// The muxer's output: each buffer whole or the error of the file, kept. The
// callback's buffer is const in newer FFmpeg versions; the overload that fits
// is taken.
int WriteToFile(void* opaque, const uint8_t* bytes, int count)
{
    PLAT_MOVIE* m = static_cast<PLAT_MOVIE*>(opaque);
    int32_t error = 0;
    if (!m->fileError && !PLAT_WriteAll(m->fd, bytes, static_cast<size_t>(count), &error))
        m->fileError = error;
    return m->fileError ? AVERROR(m->fileError) : count;
}

[[maybe_unused]] int WriteToFile(void* opaque, uint8_t* bytes, int count)
{
    return WriteToFile(opaque, static_cast<const uint8_t*>(bytes), count);
}

int64_t SeekInFile(void* opaque, int64_t offset, int whence)
{
    PLAT_MOVIE* m = static_cast<PLAT_MOVIE*>(opaque);
    off_t at;
    if (whence & AVSEEK_SIZE) {
        off_t here = lseek(m->fd, 0, SEEK_CUR);
        at = here < 0 ? here : lseek(m->fd, 0, SEEK_END);
        if (here >= 0 && at >= 0 && lseek(m->fd, here, SEEK_SET) < 0)
            at = -1;
    } else {
        at = lseek(m->fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    }
    if (at >= 0)
        return at;
    int error = errno;
    if (!m->fileError)
        m->fileError = error;
    return AVERROR(error);
}

constexpr int kIoBufferSize = 32768;

PLAT_MOVIE_STATUS OpenFile(PLAT_MOVIE* m, const char* fileName, int32_t* fileError)
{
    m->fileName = fileName;
    m->fd = PLAT_CreateOutputFile(fileName, fileError);
    if (m->fd < 0)
        return PLAT_MOVIE_NO_FILE;
    unsigned char* buffer = static_cast<unsigned char*>(g_api.av_malloc(kIoBufferSize));
    if (buffer)
        m->io = g_api.avio_alloc_context(buffer, kIoBufferSize, 1, m, nullptr, WriteToFile, SeekInFile);
    if (!m->io) {
        g_api.av_freep(&buffer);
        *fileError = ENOMEM;
        return PLAT_MOVIE_NO_FILE;
    }
    m->format->pb = m->io;
    m->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    return PLAT_MOVIE_OK;
}

PLAT_MOVIE_STATUS OpenEncoder(PLAT_MOVIE* m, const PLAT_MOVIE_SETTINGS* s, const char fourcc[4])
{
    uint32_t tag = MKTAG(fourcc[0], fourcc[1], fourcc[2], fourcc[3]);
    const AVCodecTag* tables[] = {g_api.avformat_get_riff_video_tags(), nullptr};
    AVCodecID id = g_api.av_codec_get_id(tables, tag);
    const AVCodec* encoder = id == AV_CODEC_ID_NONE ? nullptr : g_api.avcodec_find_encoder(id);
    if (!encoder)
        return PLAT_MOVIE_NO_CODEC;
    m->codec = g_api.avcodec_alloc_context3(encoder);
    if (!m->codec)
        return PLAT_MOVIE_NO_CODEC;
    AVCodecContext* c = m->codec;
    c->width = s->width;
    c->height = s->height;
    c->time_base = AVRational{1, static_cast<int>(s->framesPerSecond)};
    c->framerate = AVRational{static_cast<int>(s->framesPerSecond), 1};
    c->bit_rate = s->bitsPerSecond;
    c->gop_size = s->keyFrameEvery > 1 ? static_cast<int>(s->keyFrameEvery) : 1;
    c->thread_count = 1;   // the same bytes on every machine
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (m->format->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const AVPixelFormat* formats = encoder->pix_fmts;
    c->pix_fmt = id == AV_CODEC_ID_H264 || !formats ? AV_PIX_FMT_YUV420P : formats[0];
    if (g_api.avcodec_open2(c, encoder, nullptr) < 0)
        return PLAT_MOVIE_NO_CODEC;
    if (g_api.avcodec_parameters_from_context(m->stream->codecpar, c) < 0)
        return PLAT_MOVIE_NO_CODEC;
    m->stream->codecpar->codec_tag = tag;
    m->frame = g_api.av_frame_alloc();
    if (!m->frame)
        return PLAT_MOVIE_NO_CODEC;
    m->frame->format = c->pix_fmt;
    m->frame->width = c->width;
    m->frame->height = c->height;
    if (g_api.av_frame_get_buffer(m->frame, 0) < 0)
        return PLAT_MOVIE_NO_CODEC;
    m->scaler = g_api.sws_getContext(s->width, s->height, AV_PIX_FMT_BGR24, s->width, s->height, c->pix_fmt,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr);
    return m->scaler ? PLAT_MOVIE_OK : PLAT_MOVIE_NO_CODEC;
}

void SetRawParameters(PLAT_MOVIE* m, const PLAT_MOVIE_SETTINGS* s)
{
    AVCodecParameters* p = m->stream->codecpar;
    p->codec_type = AVMEDIA_TYPE_VIDEO;
    p->codec_id = AV_CODEC_ID_RAWVIDEO;
    p->format = AV_PIX_FMT_BGR24;
    p->width = s->width;
    p->height = s->height;
    p->bits_per_coded_sample = 24;
    p->codec_tag = 0;
}

PLAT_MOVIE_STATUS WritePackets(PLAT_MOVIE* m)
{
    for (;;) {
        int r = g_api.avcodec_receive_packet(m->codec, m->packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return PLAT_MOVIE_OK;
        if (r < 0)
            return PLAT_MOVIE_WRITE_FAILED;
        g_api.av_packet_rescale_ts(m->packet, m->codec->time_base, m->stream->time_base);
        m->packet->stream_index = m->stream->index;
        r = g_api.av_interleaved_write_frame(m->format, m->packet);
        g_api.av_packet_unref(m->packet);
        if (r < 0)
            return PLAT_MOVIE_WRITE_FAILED;
    }
}

}

uint32_t PLAT_PrepareMovies()
{
    return LoadApi();
}

uint32_t PLAT_IsRawFourcc(const char fourcc[4])
{
    char f[4];
    Blanked(fourcc, f);
    return memcmp(f, "DIB ", 4) == 0 || memcmp(f, "    ", 4) == 0;
}

PLAT_MOVIE* PLAT_OpenMovie(const char* fileName, const PLAT_MOVIE_SETTINGS* s, PLAT_MOVIE_STATUS* status,
                           int32_t* fileError)
{
    *status = PLAT_MOVIE_NO_STREAM;
    *fileError = 0;
    if (!LoadApi())
        return nullptr;
    PLAT_MOVIE* m = new (std::nothrow) PLAT_MOVIE;
    if (!m)
        return nullptr;
    m->width = s->width;
    m->height = s->height;
    char fourcc[4];
    Blanked(s->fourcc, fourcc);
    m->packet = g_api.av_packet_alloc();
    if (!m->packet || s->framesPerSecond == 0 || s->width < 1 || s->height < 1 ||
        g_api.avformat_alloc_output_context2(&m->format, nullptr, "avi", fileName) < 0 || !m->format) {
        Free(m);
        return nullptr;
    }
    m->format->flags |= AVFMT_FLAG_BITEXACT;
    m->stream = g_api.avformat_new_stream(m->format, nullptr);
    if (!m->stream) {
        Free(m);
        return nullptr;
    }
    m->stream->time_base = AVRational{1, static_cast<int>(s->framesPerSecond)};
    m->stream->avg_frame_rate = AVRational{static_cast<int>(s->framesPerSecond), 1};
    bool raw = PLAT_IsRawFourcc(fourcc);
    if (raw)
        SetRawParameters(m, s);
    else if ((*status = OpenEncoder(m, s, fourcc)) != PLAT_MOVIE_OK) {
        Free(m);
        return nullptr;
    }
    if ((*status = OpenFile(m, fileName, fileError)) != PLAT_MOVIE_OK) {
        Discard(m);
        return nullptr;
    }
    AVDictionary* options = nullptr;
    if (raw)
        g_api.av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    int r = g_api.avformat_write_header(m->format, &options);
    g_api.av_dict_free(&options);
    if (r < 0 || m->fileError) {
        *status = m->fileError ? PLAT_MOVIE_NO_FILE : PLAT_MOVIE_NO_FORMAT;
        *fileError = m->fileError;
        Discard(m);
        return nullptr;
    }
    m->headerWritten = true;
    *status = PLAT_MOVIE_OK;
    return m;
}

PLAT_MOVIE_STATUS PLAT_WriteMovieFrame(PLAT_MOVIE* m, const uint8_t* bgr, uint32_t stride)
{
    if (!m || !bgr)
        return PLAT_MOVIE_WRITE_FAILED;
    if (!m->codec) {
        // Raw rows go in as they are: bottom-up and padded, as a DIB has them.
        if (g_api.av_new_packet(m->packet, static_cast<int>(stride * m->height)) < 0)
            return PLAT_MOVIE_WRITE_FAILED;
        memcpy(m->packet->data, bgr, static_cast<size_t>(stride) * m->height);
        m->packet->pts = m->packet->dts = m->index++;
        m->packet->duration = 1;
        m->packet->flags |= AV_PKT_FLAG_KEY;
        m->packet->stream_index = m->stream->index;
        AVRational frameTime{m->stream->avg_frame_rate.den, m->stream->avg_frame_rate.num};
        g_api.av_packet_rescale_ts(m->packet, frameTime, m->stream->time_base);
        int r = g_api.av_interleaved_write_frame(m->format, m->packet);
        g_api.av_packet_unref(m->packet);
        return r < 0 || m->fileError ? PLAT_MOVIE_WRITE_FAILED : PLAT_MOVIE_OK;
    }
    if (g_api.av_frame_make_writable(m->frame) < 0)
        return PLAT_MOVIE_WRITE_FAILED;
    // Starting at the last row with a negative stride turns the picture upright.
    const uint8_t* source[1] = {bgr + static_cast<size_t>(m->height - 1) * stride};
    const int sourceStride[1] = {-static_cast<int>(stride)};
    g_api.sws_scale(m->scaler, source, sourceStride, 0, m->height, m->frame->data, m->frame->linesize);
    m->frame->pts = m->index++;
    if (g_api.avcodec_send_frame(m->codec, m->frame) < 0)
        return PLAT_MOVIE_WRITE_FAILED;
    PLAT_MOVIE_STATUS status = WritePackets(m);
    return m->fileError ? PLAT_MOVIE_WRITE_FAILED : status;
}

int32_t PLAT_MovieFileError(const PLAT_MOVIE* m)
{
    return m ? m->fileError : 0;
}

PLAT_MOVIE_STATUS PLAT_CloseMovie(PLAT_MOVIE* m, int32_t* fileError)
{
    *fileError = 0;
    if (!m)
        return PLAT_MOVIE_OK;
    bool whole = m->headerWritten;
    if (whole) {
        if (m->codec && g_api.avcodec_send_frame(m->codec, nullptr) >= 0)
            WritePackets(m);
        // The trailer is written also after a frame that failed in the
        // encoder: the index and the header's counts then cover the frames
        // before it.
        whole = g_api.av_write_trailer(m->format) >= 0;
    }
    *fileError = m->fileError;
    if (!whole || m->fileError) {
        // A file that could not be written to its end is no movie: it goes.
        Discard(m);
        return PLAT_MOVIE_WRITE_FAILED;
    }
    std::string name = m->fileName;
    if (Free(m))
        return PLAT_MOVIE_OK;
    *fileError = errno;
    PLAT_RemoveOutputFile(name.c_str());
    return PLAT_MOVIE_WRITE_FAILED;
}

// Movie frames and screenshots of the window.
#include "view/ogw_movie.h"
#include <GL/gl.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include "platform/plat_file.h"
#include "platform/plat_gl.h"
#include "platform/plat_jpeg.h"
#include "platform/plat_movie.h"
#include "view/ogw_internal.h"

namespace {

constexpr uint32_t OGW_TITLE_SIZE = 512;
constexpr uint32_t BITS_PER_KILOBYTE = 8000;

std::atomic<uint32_t> g_recordingLost{0};

const char* OpenFailureText(PLAT_MOVIE_STATUS status)
{
    switch (status) {
    case PLAT_MOVIE_NO_FILE: return "Unable to Create the Movie File";
    case PLAT_MOVIE_NO_CODEC: return "Unable to Create Compressed Stream: Check your CODEC options";
    case PLAT_MOVIE_NO_FORMAT: return "Unable to Set Video Stream Format";
    default: return "Unable to Create Video Stream in the Movie File";
    }
}

void SetError(AVI_WRITER* writer, const char* text)
{
    snprintf(writer->errorText, sizeof writer->errorText, "%s", text);
}

// The movie is lost from this failure on; the file is completed or removed.
HRESULT Fail(AVI_WRITER* writer, const char* text, int32_t fileError)
{
    SetError(writer, text);
    writer->failed = 1;
    writer->fileError = fileError;
    AVI_ReleaseMemory(writer);
    return E_FAIL;
}

HRESULT OpenMovie(AVI_WRITER* writer, int32_t width, int32_t height)
{
    if (!writer->fileName[0])
        return Fail(writer, "Unable to Create the Movie File", 0);
    PLAT_MOVIE_SETTINGS settings{};
    memcpy(settings.fourcc, writer->fourcc, 4);
    settings.framesPerSecond = writer->frameRate;
    settings.bitsPerSecond = writer->dataRate * BITS_PER_KILOBYTE;
    settings.keyFrameEvery = static_cast<uint32_t>(uint64_t{writer->frameRate} * writer->keyFrameInterval / 1000);
    settings.width = width;
    settings.height = height;
    PLAT_MOVIE_STATUS status;
    int32_t fileError = 0;
    writer->movie = PLAT_OpenMovie(writer->fileName, &settings, &status, &fileError);
    if (!writer->movie)
        return Fail(writer, OpenFailureText(status), fileError);
    return S_OK;
}

const char* FileErrorText(int32_t error)
{
    return error == PLAT_FILE_IS_PIPE ? "je to pojmenovaná roura" : strerror(error);
}

// The movie's loss in one message: nothing of it is left, or the file holds
// the frames before the failure.
void SayMovieLoss(const AVI_WRITER* writer)
{
    const char* reason = writer->fileError ? FileErrorText(writer->fileError) : writer->errorText;
    if (writer->fileKept && writer->frameIndex > 0)
        LOG_Alert("OGW: film \"%s\" nelze zapisovat (%s), soubor obsahuje jen prvních %u snímků.\n", writer->fileName,
                  reason, writer->frameIndex);
    else
        LOG_Alert("OGW: film \"%s\" nelze zapisovat (%s), film se ztrácí.\n", writer->fileName, reason);
}

// Render thread: the loss is noted for the owner's thread to say.
void NoteLoss(std::atomic<uint32_t>* loss)
{
    g_recordingLost = 1;
    uint32_t none = 0;
    loss->compare_exchange_strong(none, 1);
}

void SetTitle(OGW_WINDOW* w, bool recording)
{
    if (!w->window)
        return;
    char title[OGW_TITLE_SIZE];
    if (recording)
        snprintf(title, sizeof title, "%s - Záznam běží", w->title);
    else
        snprintf(title, sizeof title, "%s", w->title);
    PLAT_SetWindowText(w->window, title);
}

}

void AVI_CreateWriter(AVI_WRITER* writer, const char* fileName, const char fourcc[4], uint32_t frameRate,
                      uint32_t dataRate, uint32_t keyFrameMs)
{
    memset(writer, 0, sizeof *writer);
    memcpy(writer->fourcc, fourcc, 4);
    writer->frameRate = frameRate ? frameRate : 1;
    writer->dataRate = dataRate;
    writer->keyFrameInterval = keyFrameMs;
    if (fileName && strlen(fileName) < sizeof writer->fileName)
        strcpy(writer->fileName, fileName);
    SetError(writer, "Method Succeeded");
    writer->state = 1;
}

HRESULT AVI_AppendNewFrame(AVI_WRITER* writer, int32_t width, int32_t height, const uint8_t* bits,
                           uint32_t bitsPerPixel)
{
    if (writer->state == 0)
        return E_FAIL;
    if (writer->state == 1) {
        if (bitsPerPixel != 24)
            return Fail(writer, "Unable to Set Video Stream Format", 0);
        if (OpenMovie(writer, width, height) != S_OK)
            return E_FAIL;
        writer->state = 2;
    }
    uint32_t stride = bitsPerPixel == 24 ? PLAT_FrameStride(width) : static_cast<uint32_t>(width) * bitsPerPixel / 8;
    if (PLAT_WriteMovieFrame(writer->movie, bits, stride) != PLAT_MOVIE_OK)
        return Fail(writer, "Unable to Write Video Stream to the output Movie File",
                    PLAT_MovieFileError(writer->movie));
    writer->frameIndex++;
    return S_OK;
}

const char* AVI_GetErrorText(const AVI_WRITER* writer)
{
    return writer->errorText;
}

void AVI_ReleaseMemory(AVI_WRITER* writer)
{
    writer->state = 0;
    if (!writer->movie)
        return;
    int32_t fileError = 0;
    PLAT_MOVIE_STATUS closed = PLAT_CloseMovie(writer->movie, &fileError);
    writer->movie = nullptr;
    writer->fileKept = closed == PLAT_MOVIE_OK;
    if (writer->fileKept)
        return;
    if (!writer->failed)
        SetError(writer, "Unable to Write Video Stream to the output Movie File");
    writer->failed = 1;
    if (!writer->fileError)
        writer->fileError = fileError;
}

OGW_MOVIE_WRITER* OGW_CreateMovieWriter(const char* fileName, int32_t width, int32_t height, uint32_t bitsPerPixel,
                                        const char fourcc[4], uint32_t frameRate, uint32_t dataRate,
                                        uint32_t keyFrameInterval)
{
    MEMORY_SetTag("OGW:movie-writer");
    OGW_MOVIE_WRITER* writer = static_cast<OGW_MOVIE_WRITER*>(POOL_Alloc(sizeof(OGW_MOVIE_WRITER) + 1));
    if (!writer)
        return nullptr;
    memset(writer, 0, sizeof *writer);
    writer->width = width;
    writer->height = height;
    writer->bitsPerPixel = bitsPerPixel;
    // Rows as OpenGL reads them back with its default alignment of 4.
    writer->stride = PLAT_FrameStride(width);
    MEMORY_SetTag("OGW:movie-frame");
    writer->frame = static_cast<uint8_t*>(POOL_Alloc(writer->stride * static_cast<uint32_t>(height)));
    if (!writer->frame) {
        POOL_Free(writer);
        return nullptr;
    }
    AVI_CreateWriter(&writer->avi, fileName, fourcc, frameRate, dataRate, keyFrameInterval);
    return writer;
}

HRESULT OGW_MovieWriteFrame(OGW_MOVIE_WRITER* writer)
{
    glFlush();
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, writer->width, writer->height, GL_BGR, GL_UNSIGNED_BYTE, writer->frame);
    return AVI_AppendNewFrame(&writer->avi, writer->width, writer->height, writer->frame, 24);
}

// The owner's thread, the render thread ended: the movie is completed, and
// what was lost is said.
void OGW_DeleteMovieWriter(OGW_WINDOW* w)
{
    OGW_MOVIE_WRITER* writer = w->movieWriter;
    if (writer) {
        AVI_ReleaseMemory(&writer->avi);
        if (writer->avi.failed)
            NoteLoss(&w->movieLoss);
    }
    OGW_ReportRecordingLoss(w);
    if (!writer)
        return;
    w->movieWriter = nullptr;
    POOL_Free(writer->frame);
    POOL_Free(writer);
}

void OGW_ReportRecordingLoss(OGW_WINDOW* w)
{
    if (!w)
        return;
    uint32_t noted = 1;
    if (w->movieLoss.compare_exchange_strong(noted, 2) && w->movieWriter)
        SayMovieLoss(&w->movieWriter->avi);
    noted = 1;
    if (w->screenshotLoss.compare_exchange_strong(noted, 2))
        LOG_Alert("OGW: snímek obrazovky nelze uložit do souboru \"%s\" (%s).\n", w->lostScreenshot.c_str(),
                  FileErrorText(w->screenshotError));
}

void OGW_AbandonRecording(OGW_WINDOW* w)
{
    OGW_ReportRecordingLoss(w);
    OGW_MOVIE_WRITER* writer = w->movieWriter;
    if (!writer || writer->avi.failed)
        return;
    // A movie opened, or one that records and waits for its first frame,
    // cannot be completed: the thread may no longer write. A file it opened
    // goes, so that no movie without its end is left looking whole.
    bool opened = writer->avi.state == 2;
    if (!opened && !w->recording.load())
        return;
    g_recordingLost = 1;
    // Said here, once: what the thread notes of it from now on is not said.
    w->movieLoss = 2;
    PLAT_RemoveOutputFile(writer->avi.fileName);
    LOG_Alert("OGW: film \"%s\" nelze dokončit (vykreslovací vlákno neskončilo), film se ztrácí.\n",
              writer->avi.fileName);
}

uint32_t OGW_RecordingLost()
{
    return g_recordingLost.load();
}

uint32_t OGW_ConfigureMovie(OGW_WINDOW* w, const char* fileName, const char fourcc[4], uint8_t framesPerSecond,
                            uint32_t dataRate, uint32_t keyFrameInterval)
{
    if (w->recording.load())
        return 1;
    MEMORY_SetTag("OGW:movie-file-name");
    char* copy = UTIL_StrDup(fileName ? fileName : "");
    if (!copy) {
        LOG_Printf("OGW_ConfigureMovie: nedostatek paměti.\n");
        return 0;
    }
    if (w->movieFileName)
        POOL_Free(w->movieFileName);
    w->movieFileName = copy;
    // The encoder's libraries are loaded here, on the owner's thread, not in
    // the middle of a frame: the loader's lock they hold meanwhile would keep
    // a stop waiting.
    PLAT_PrepareMovies();
    memcpy(w->fourcc, fourcc, 4);
    w->frameRate = framesPerSecond ? framesPerSecond : 1;
    w->dataRate = dataRate;
    w->keyFrameInterval = keyFrameInterval;
    return 1;
}

uint32_t OGW_ConfigureCapture(OGW_WINDOW* w, uint32_t intervalMs, const char* nameTemplate, uint32_t quality)
{
    w->capture = 1;
    w->captureInterval = intervalMs;
    w->captureTemplate = nameTemplate ? nameTemplate : "";
    w->captureQuality = quality;
    w->templateLength = static_cast<uint32_t>(strlen(w->captureTemplate));
    if (w->captureName)
        POOL_Free(w->captureName);
    MEMORY_SetTag("OGW:capture-name");
    w->captureName = static_cast<char*>(POOL_Alloc(w->templateLength + 3));
    if (!w->captureName) {
        LOG_Printf("OGW: nedostatek paměti pro buffer pro názvy Capture snímků.\n");
        return 0;
    }
    return 1;
}

void OGW_StartMovie(OGW_WINDOW* w)
{
    if (!w->movieWriter)
        w->movieWriter = OGW_CreateMovieWriter(w->movieFileName, w->clientWidth, w->clientHeight, 24, w->fourcc,
                                               w->frameRate, w->dataRate, w->keyFrameInterval);
    if (!w->movieWriter) {
        // Without a writer there is nothing to record into.
        if (!w->writerFailureLogged)
            LOG_Printf("OGW_StartMovie: nedostatek paměti, záznam nezačal.\n");
        w->writerFailureLogged = 1;
        return;
    }
    SetTitle(w, true);
    w->recording = 1;
}

void OGW_StopMovie(OGW_WINDOW* w)
{
    w->recording = 0;
    SetTitle(w, false);
}

void OGW_ToggleMovie(OGW_WINDOW* w)
{
    if (w->recording.load())
        OGW_StopMovie(w);
    else
        OGW_StartMovie(w);
}

void OGW_WriteMovieFrames(OGW_WINDOW* w, uint32_t now)
{
    uint64_t elapsed = static_cast<uint32_t>(now - w->startTick);
    if (!w->recording.load()) {
        w->framesWritten = static_cast<uint32_t>((elapsed * w->frameRate + 500) / 1000);
        return;
    }
    uint32_t due;
    if (w->firstFrame) {
        w->startTick = now;
        due = 1;
        w->framesWritten = 0;
        w->firstFrame = 0;
    } else {
        due = static_cast<uint32_t>((elapsed * w->frameRate + 500) / 1000);
    }
    // A movie that failed takes no more frames; its loss is said once, by
    // the owner's thread.
    for (; w->framesWritten < due; w->framesWritten++) {
        if (w->movieWriter->avi.state != 0 && OGW_MovieWriteFrame(w->movieWriter) < 0)
            NoteLoss(&w->movieLoss);
        w->renderBeat.fetch_add(1);   // a long catch-up of frames goes on
    }
}

void OGW_CaptureIfDue(OGW_WINDOW* w, uint32_t now)
{
    if (!w->capture || now - w->lastCaptureTick < w->captureInterval)
        return;
    w->lastCaptureTick = now;
    OGW_CaptureScreenshot(w);
}

void OGW_ScreenshotName(const char* nameTemplate, uint32_t n, char* name)
{
    strcpy(name, nameTemplate);
    char digits[32];
    snprintf(digits, sizeof digits, "%020d", static_cast<int>(n));
    int digit = 19;
    for (int i = static_cast<int>(strlen(name)) - 1; i >= 0 && digit >= 0; --i)
        if (name[i] == '#')
            name[i] = digits[digit--];
}

void OGW_CaptureScreenshot(OGW_WINDOW* w)
{
    if (!w->captureName)
        return;
    int32_t width = w->clientWidth, height = w->clientHeight;
    PLAT_GetGLTargetSize(w->renderingContext, &width, &height);
    uint32_t stride = PLAT_FrameStride(width);
    std::vector<uint8_t> frame(static_cast<size_t>(stride) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, frame.data());
    w->captureCounter++;
    OGW_ScreenshotName(w->captureTemplate, w->captureCounter, w->captureName);
    int32_t quality = w->captureQuality > 100 ? 100 : static_cast<int32_t>(w->captureQuality);
    int32_t error = 0;
    if (PLAT_WriteJpeg(w->captureName, frame.data(), width, height, stride, quality, &error))
        return;
    // Later screenshots are still taken; the first one lost is said.
    if (w->screenshotLoss.load() == 0) {
        w->lostScreenshot = w->captureName;
        w->screenshotError = error;
    }
    NoteLoss(&w->screenshotLoss);
}

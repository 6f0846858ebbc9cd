// OGW movie and screenshots: the window records what it draws as an AVI
// movie and as numbered JPEG screenshots, on the render thread after each
// frame. The movie keeps time by the tick count: frames are repeated when
// drawing is slow, and a pause adds none.
#pragma once
#include <cstdint>
#include "view/ogw.h"

struct PLAT_MOVIE;

typedef int32_t HRESULT;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr uint32_t AVI_TEXT_SIZE = 260;

// One movie file, opened lazily with the size of its first frame.
// State: 0 failed or released, 1 first frame due, 2 writing.
struct AVI_WRITER {
    PLAT_MOVIE* movie;
    uint32_t frameIndex;
    uint32_t frameRate;
    char fourcc[4];
    uint32_t dataRate;          // kilobytes per second
    uint32_t keyFrameInterval;  // ms
    char fileName[AVI_TEXT_SIZE];
    char errorText[AVI_TEXT_SIZE];
    uint32_t state;
    // A movie that failed (its open, a frame, or its completion): the file's
    // reason (an errno value, PLAT_FILE_IS_PIPE, or 0 when the file was not
    // the cause), and whether the file was kept, complete with the frames
    // before the failure; a file that could not be completed is removed.
    uint32_t failed;
    int32_t fileError;
    uint32_t fileKept;
};

struct OGW_MOVIE_WRITER {
    AVI_WRITER avi;
    int32_t width, height;
    uint32_t bitsPerPixel;
    uint32_t stride;            // bytes of one padded row
    uint8_t* frame;             // stride x height bytes
};

// A file name that does not fit the writer's 259 characters is refused
// (the first frame then fails).
void AVI_CreateWriter(AVI_WRITER* writer, const char* fileName, const char fourcc[4], uint32_t frameRate,
                      uint32_t dataRate, uint32_t keyFrameMs);
HRESULT AVI_AppendNewFrame(AVI_WRITER* writer, int32_t width, int32_t height, const uint8_t* bits,
                           uint32_t bitsPerPixel);
const char* AVI_GetErrorText(const AVI_WRITER* writer);
// Completes the file and releases everything; no frame is written afterwards.
// A file that cannot be completed is removed, and the writer counts as failed.
void AVI_ReleaseMemory(AVI_WRITER* writer);

uint32_t OGW_ConfigureMovie(OGW_WINDOW* window, const char* fileName, const char fourcc[4], uint8_t framesPerSecond,
                            uint32_t dataRate, uint32_t keyFrameInterval);
uint32_t OGW_ConfigureCapture(OGW_WINDOW* window, uint32_t intervalMs, const char* nameTemplate, uint32_t quality);
void OGW_StartMovie(OGW_WINDOW* window);
void OGW_StopMovie(OGW_WINDOW* window);
void OGW_ToggleMovie(OGW_WINDOW* window);
OGW_MOVIE_WRITER* OGW_CreateMovieWriter(const char* fileName, int32_t width, int32_t height, uint32_t bitsPerPixel,
                                        const char fourcc[4], uint32_t frameRate, uint32_t dataRate,
                                        uint32_t keyFrameInterval);
// Render thread, the window's context current.
HRESULT OGW_MovieWriteFrame(OGW_MOVIE_WRITER* writer);
void OGW_CaptureScreenshot(OGW_WINDOW* window);
// The owner's thread: says once, on standard error and in the log, that the
// window's movie or a screenshot was lost (the render thread only notes it).
// Called at every redraw request and when the window is destroyed.
void OGW_ReportRecordingLoss(OGW_WINDOW* window);
// The owner's thread, the render thread left running: the losses it noted
// are said, and a movie that it records, which cannot be completed under it,
// is said lost, and its file removed, also before its first frame.
void OGW_AbandonRecording(OGW_WINDOW* window);
// 1 when a movie or a screenshot was lost since the program started: the
// program then ends with a failure, as after lost result data.
uint32_t OGW_RecordingLost();
// The name of the n-th screenshot from a template: '#'s from the right take
// the digits of n, at most 20 of them.
void OGW_ScreenshotName(const char* nameTemplate, uint32_t n, char* name);

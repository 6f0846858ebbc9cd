// PLAT movie: AVI files of one video stream, compressed by the encoder that a
// FourCC names (FFmpeg), or raw rows for "DIB " and a blank FourCC.
#pragma once
#include <cstdint>

struct PLAT_MOVIE;   // opaque

enum PLAT_MOVIE_STATUS : uint32_t {
    PLAT_MOVIE_OK = 0,
    PLAT_MOVIE_NO_FILE,      // the file cannot be created
    PLAT_MOVIE_NO_STREAM,    // the container or its stream cannot be set up
    PLAT_MOVIE_NO_CODEC,     // no encoder for the FourCC, or it refuses the settings
    PLAT_MOVIE_NO_FORMAT,    // the stream header cannot be written
    PLAT_MOVIE_WRITE_FAILED,
};

struct PLAT_MOVIE_SETTINGS {
    char fourcc[4];            // trailing zero bytes count as blanks
    uint32_t framesPerSecond;
    uint32_t bitsPerSecond;    // compressed codecs only
    uint32_t keyFrameEvery;    // frames; 0 or 1: every frame
    int32_t width, height;
};

// Loads the encoder's libraries now, once; 0 when they cannot be loaded
// (PLAT_OpenMovie then fails). PLAT_OpenMovie loads them otherwise.
uint32_t PLAT_PrepareMovies();
// Opens the file for frames of the given size; null with the reason in
// status, and for PLAT_MOVIE_NO_FILE the file's in *fileError (an errno value,
// or PLAT_FILE_IS_PIPE: a named pipe is refused, never waited on). A file
// that was made and then failed is removed.
PLAT_MOVIE* PLAT_OpenMovie(const char* fileName, const PLAT_MOVIE_SETTINGS* settings, PLAT_MOVIE_STATUS* status,
                           int32_t* fileError);
// Appends one frame: bottom-up blue-green-red rows, stride bytes apart.
PLAT_MOVIE_STATUS PLAT_WriteMovieFrame(PLAT_MOVIE* movie, const uint8_t* bgr, uint32_t stride);
// The errno value of the first write the file refused (a full disk, the file
// size limit), 0 while there is none.
int32_t PLAT_MovieFileError(const PLAT_MOVIE* movie);
// Drains the encoder, completes the file with the frames written so far and
// frees the movie. A file that cannot be completed (a write of it failed
// before or now) is removed: PLAT_MOVIE_WRITE_FAILED, with the file's
// reason in *fileError (0 when the file was not the cause).
PLAT_MOVIE_STATUS PLAT_CloseMovie(PLAT_MOVIE* movie, int32_t* fileError);
// 1 when the FourCC stands for raw rows.
uint32_t PLAT_IsRawFourcc(const char fourcc[4]);

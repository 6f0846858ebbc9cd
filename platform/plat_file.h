// PLAT file: output files that their writer never waits on: the log, and
// the movies and screenshots of the render thread, which no signal
// interrupts. A named pipe is refused instead of opened, with or without a
// reader.
#pragma once
#include <cstddef>
#include <cstdint>

// The reason given for a named pipe, beside the system's errno values.
constexpr int32_t PLAT_FILE_IS_PIPE = -1;

// Opens the file for writing without waiting, created when missing, with the
// further open flags given (O_TRUNC, O_APPEND); a named pipe is refused. -1
// with the reason in *error (an errno value or PLAT_FILE_IS_PIPE).
int PLAT_OpenOutputFile(const char* name, int flags, int32_t* error);
// Creates the file or empties it, for writing, without waiting. -1 with the
// reason in *error (an errno value or PLAT_FILE_IS_PIPE).
int PLAT_CreateOutputFile(const char* name, int32_t* error);
// Writes every byte, retrying interrupted and partial writes; 0 with the
// errno value in *error when the file takes no more.
uint32_t PLAT_WriteAllBytes(int fd, const void* bytes, size_t count, int32_t* error);
// Removes a regular file of that name: what was left of a file that could
// not be written whole. Anything else (a device) stays.
void PLAT_RemoveOutputFile(const char* name);

// PLAT file: the files the program writes (the log, the result files, the
// movies and screenshots) and the one routine that writes their bytes, also
// those of standard output and standard error. Output files of the log and
// of the render thread never make their writer wait: a named pipe is
// refused instead of opened, with or without a reader.
#pragma once
#include <cstddef>
#include <cstdint>

// The reason given for a named pipe, beside the system's errno values.
constexpr int32_t PLAT_FILE_IS_PIPE = -1;

// Descriptors 0, 1 and 2 that are closed are opened on /dev/null (0 for
// reading, 1 and 2 for writing), so that no file the program opens later
// gets one of their numbers and with it the text meant for the terminal.
// Called at the program's start, before any file is opened.
void PLAT_HoldStandardDescriptors();

// Opens the file for writing without waiting, created when missing, with the
// further open flags given (O_TRUNC, O_APPEND); a named pipe is refused. -1
// with the reason in *error (an errno value or PLAT_FILE_IS_PIPE).
int PLAT_OpenOutputFile(const char* name, int flags, int32_t* error);
// Creates the file or empties it, for writing, without waiting. -1 with the
// reason in *error (an errno value or PLAT_FILE_IS_PIPE).
int PLAT_CreateOutputFile(const char* name, int32_t* error);
// Opens a result file for writing, created when missing, with the further
// open flags given (O_TRUNC, O_APPEND). A named pipe is waited on until a
// reader opens it, as `echo > fifo` does; a stop ends the wait (EINTR).
// A name of the regular file that standard output or standard error is
// (/dev/stdout, or the file's own name) gives a copy of that descriptor,
// which shares its position: the text goes after what was written there,
// nothing is emptied, and PLAT_OutputFileEnd calls it a stream. -1 with the
// errno value in *error.
int PLAT_OpenResultFile(const char* name, int flags, int32_t* error);

// Writes every byte. A call cut short by a signal (EINTR) is repeated; after
// a stop (PLAT_StopRequested) the write gives up with EINTR once no byte has
// gone through to the descriptor for PLAT_STOP_GRACE_MS, counted from the
// later of the stop and the last byte that went through: a slow reader that
// still reads gets every byte, one that reads nothing holds the program no
// longer than that. A thread denied file output (PLAT_DenyFileOutput) writes
// nothing: ECANCELED at once. 1 when written; 0 with the errno value in
// *error.
uint32_t PLAT_WriteAll(int fd, const void* bytes, size_t count, int32_t* error);
// Where the file ends: 1 with the length in *end, or with *end = -1 for a
// stream that is written in order and never cut back (a pipe, a terminal, a
// copy of standard output or standard error); 0 with the errno value in
// *error.
uint32_t PLAT_OutputFileEnd(int fd, int64_t* end, int32_t* error);
// Cuts what a failed write left past the length off the file; a stream or a
// device stays as it is.
void PLAT_CutOutputFile(int fd, int64_t length);
// 1 when the descriptor is a pipe or a named pipe.
uint32_t PLAT_IsPipe(int fd);
// Closes the descriptor; 0 with the errno value in *error when the close
// reported an error (data that did not reach the file).
uint32_t PLAT_CloseOutputFile(int fd, int32_t* error);
// Removes the regular file that the name stands for (the file a symbolic
// link points at): what was left of a file that could not be written whole.
// Anything else (a device) stays.
void PLAT_RemoveOutputFile(const char* name);
// Empties the regular file open on the descriptor, closes it and removes it
// under the name it was created by, wherever a symbolic link of that name
// pointed: no cut file is left that looks like a movie or a picture. A
// device stays. 0 with the errno value of a failed close in *error.
uint32_t PLAT_DiscardOutputFile(int fd, int32_t* error);

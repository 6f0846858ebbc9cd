// LOG: the program's single message channel, to "Zendrix.log" and the run's list box.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include "foundation/vecmath.h"

void LOG_Init();
void LOG_Done();
void LOG_Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LOG_WriteFile(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LOG_StampNext();
void LOG_PrintVector(const VEC3* vector);
int LOG_FormatDouble(const double* value, char* buffer);
void LOG_SetOutput(uint32_t mode);
void LOG_SetStartTime(int64_t time);
void LOG_ClearStartTime();

#include "platform/wintypes.h"
// The run's list box (0: none); set by the program entry when the main window
// creates it and cleared when the window goes.
void LOG_SetListBox(HWND listBox);
// The simulation clock read for time stamps and the start filter (null: 0).
void LOG_SetClock(const int64_t* clock);
// Where the log's text is copied besides the file and the list box: the
// terminal of a headless program. It receives every text that the log writes
// to its file or meant for the list box, whether or not a list box exists,
// as the code page 1250 text, and returns 1 when the text was written, 0 (with
// errno) when not. After a failure the log copies nothing more, says so once
// on standard error and in its file, and goes on without the copy. Null: no
// copy.
typedef uint32_t (*LOG_ECHO)(const char* text);
void LOG_SetEcho(LOG_ECHO echo);
// 1 once "Zendrix.log" could not be opened or written since LOG_Init; the
// first failure is said on standard error with its reason.
uint32_t LOG_FileFailed();
// Formats as vsnprintf does into a buffer of the given size; a text cut to
// the buffer keeps its final line end, so that a line too long for a message
// still ends its line in the log.
void LOG_FormatCut(char* buffer, size_t size, const char* format, va_list ap);
// A message the user must see even when the log file cannot be written (lost
// result data): logged as by LOG_Printf and written to standard error in UTF-8.
void LOG_Alert(const char* format, ...) __attribute__((format(printf, 1, 2)));

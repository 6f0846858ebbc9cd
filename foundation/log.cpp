// The log: every message goes to "Zendrix.log" in the current directory and,
// while a run's main window exists, to its list box.
#include "foundation/log.h"
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include "foundation/time.h"
#include "platform/plat_file.h"
#include "platform/plat_process.h"
#include "platform/plat_text.h"
#include "platform/plat_thread.h"
#include "platform/plat_window.h"

namespace {

constexpr const char* LOG_FILE_NAME = "Zendrix.log";
constexpr uint32_t LOG_BUFFER_SIZE = 4000;
constexpr LRESULT LOG_MAX_LINES = 500;      // one more is added before the oldest goes
constexpr size_t LOG_MAX_JOINED = 395;

uint32_t g_outputMode = 0;                  // 0 file and list box, 1 list box, 2 file
uint32_t g_stampRequest = 0;
uint32_t g_startFilterOn = 0;
int64_t g_startFilterTime = 0;
uint32_t g_lineEnded = 1;                   // the last list-box message ended its line
HWND g_listBox = 0;
const int64_t* g_clock = nullptr;
std::atomic<LOG_ECHO> g_echo{nullptr};
std::atomic<uint32_t> g_fileFailed{0};
std::mutex g_fileMutex;

char g_message[LOG_BUFFER_SIZE];
char g_output[LOG_BUFFER_SIZE];
char g_join[LOG_BUFFER_SIZE];

int64_t Clock() { return g_clock ? *g_clock : 0; }

void BuildOutput()
{
    if (!g_stampRequest) {
        memcpy(g_output, g_message, strlen(g_message) + 1);
        return;
    }
    SYSTEMTIME st{};
    TIME_MsToSystemTime(Clock(), &st);
    char stamp[64];
    int n = snprintf(stamp, sizeof stamp, "%02d.%02d.%04d %02d:%02d:%02d.%03d: ", st.wDay, st.wMonth, st.wYear,
                     st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    size_t stampLen = n > 0 ? static_cast<size_t>(n) : 0;
    memcpy(g_output, stamp, stampLen);
    // The message is cut where the stamp leaves no room for it.
    size_t room = sizeof g_output - 1 - stampLen;
    size_t len = strnlen(g_message, room);
    memcpy(g_output + stampLen, g_message, len);
    g_output[stampLen + len] = 0;
    // A cut message keeps its line end: the next message starts a line of its own.
    size_t whole = len + strlen(g_message + len);
    if (whole > len && g_message[whole - 1] == '\n')
        g_output[stampLen + len - 1] = '\n';
}

LRESULT ListBox(uint32_t message, WPARAM wParam, LPARAM lParam)
{
    return PLAT_SendMessage(g_listBox, message, wParam, lParam);
}

// Appends the text to the last line when that line was left unfinished and
// the joined line stays short; a longer text is left to the file.
void JoinLastLine(const char* text, LRESULT count)
{
    LRESULT lastLen = ListBox(LB_GETTEXTLEN, static_cast<WPARAM>(count - 1), 0);
    if (lastLen < 0 || static_cast<size_t>(lastLen) + strlen(text) >= LOG_MAX_JOINED)
        return;
    ListBox(LB_GETTEXT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(g_join));
    strcat(g_join, text);
    ListBox(LB_DELETESTRING, static_cast<WPARAM>(count - 1), 0);
    ListBox(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_join));
}

void ShowInListBox(char* text)
{
    size_t len = strlen(text);
    uint32_t ended = len > 0 && text[len - 1] == '\n';
    if (ended)
        text[len - 1] = 0;
    ListBox(WM_SETREDRAW, 0, 0);
    LRESULT count = ListBox(LB_GETCOUNT, 0, 0);
    if (count > LOG_MAX_LINES) {
        ListBox(LB_DELETESTRING, 0, 0);
        --count;
    }
    if (g_lineEnded || count <= 0) {
        ListBox(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        ++count;
    } else {
        JoinLastLine(text, count);
    }
    ListBox(LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
    ListBox(WM_SETREDRAW, 1, 0);
    PLAT_InvalidateWindow(g_listBox);
    g_lineEnded = ended;
}

}

namespace {

// Written past stdio, whose lock a thread blocked on a full pipe would hold.
void ToStderr(const char* text)
{
    std::string utf8 = PLAT_Cp1250ToUtf8(text);
    int32_t error = 0;
    PLAT_WriteAll(2, utf8.data(), utf8.size(), &error);
}

// The log file is the run's record: the first time it cannot be written the
// user is told on standard error, whatever else still reaches the terminal.
void ReportFileFailure(const char* reason)
{
    if (g_fileFailed.exchange(1))
        return;
    char text[LOG_BUFFER_SIZE];
    snprintf(text, sizeof text, "LOG: do souboru logu \"%s\" nelze zapisovat (%s), zprávy se ztrácejí.\n",
             LOG_FILE_NAME, reason);
    ToStderr(text);
}

// The file's last text did not end its line (which began at g_lineStart); a
// notice waits for the line's end so that it stands on a line of its own. All
// under the file lock.
bool g_fileLineOpen = false;
int64_t g_lineStart = 0;
std::string g_notice;

// Opens the log without waiting: a named pipe with no reader fails at once
// (ENXIO), one with a reader is refused too, as the log is opened and closed
// for every text and a reader would see its end after the first one. Any
// other file (a regular file, /dev/null, a full device) is written as it is.
// -1 with the reason when the log cannot be opened.
int OpenLogFile(int flags, const char** reason)
{
    int32_t error = 0;
    int fd = PLAT_OpenOutputFile(LOG_FILE_NAME, flags, &error);
    if (fd < 0)
        *reason = error == PLAT_FILE_IS_PIPE ? "je to pojmenovaná roura" : strerror(error);
    return fd;
}

// Writes the text whole; a text that does not fit (a full disk, a file size
// limit) is cut back off the file with the start of its line written before,
// so the file ends with its last whole line. A file without a position (a
// device, a terminal) is not cut back. 0 with the errno value in *error.
bool WriteWhole(int fd, const std::string& text, int32_t* error)
{
    int64_t end = -1;
    if (!PLAT_OutputFileEnd(fd, &end, error))
        end = -1;
    int64_t cutTo = g_fileLineOpen ? g_lineStart : end;
    if (!PLAT_WriteAll(fd, text.data(), text.size(), error)) {
        if (end >= 0)
            PLAT_CutOutputFile(fd, cutTo);
        return false;
    }
    if (!text.empty()) {
        if (!g_fileLineOpen)
            g_lineStart = end;
        g_fileLineOpen = text.back() != '\n';
    }
    return true;
}

// Opens the file, writes the text and closes it; a failure of any of the
// three is reported, and the file then gets no more texts until LOG_Init:
// it holds the messages up to the first one lost, whole lines only. Under
// the file lock.
void WriteText(int flags, const std::string& text)
{
    if (g_fileFailed)
        return;
    const char* reason = nullptr;
    int fd = OpenLogFile(flags, &reason);
    if (fd < 0) {
        ReportFileFailure(reason);
        return;
    }
    int32_t error = 0;
    bool written = WriteWhole(fd, text, &error);
    int32_t closeError = 0;
    if (!PLAT_CloseOutputFile(fd, &closeError) && written) {
        written = false;
        error = closeError;
    }
    if (!written)
        ReportFileFailure(strerror(error));
}

// A thread denied file output (one that the program's end leaves running)
// writes nothing more; that is no failure of the log.
void AppendText(const std::string& text)
{
    if (PLAT_FileOutputDenied())
        return;
    std::lock_guard<std::mutex> lock(g_fileMutex);
    WriteText(O_APPEND, text);
    if (!g_fileLineOpen && !g_notice.empty()) {
        WriteText(O_APPEND, g_notice);
        g_notice.clear();
    }
}

std::string FormatWhole(const char* format, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return std::string();
    std::string text(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(text.data(), text.size(), format, ap);
    text.pop_back();
    return text;
}

// A copy that fails is dropped for good; the thread that drops it says so,
// on standard error at once and in the file once the file's line has ended.
void Echo(const char* text)
{
    LOG_ECHO echo = g_echo.load();
    if (!echo || PLAT_FileOutputDenied() || echo(text))
        return;
    char reason[200];
    snprintf(reason, sizeof reason, "%s", strerror(errno));
    if (!g_echo.compare_exchange_strong(echo, nullptr))
        return;
    char message[LOG_BUFFER_SIZE];
    snprintf(message, sizeof message,
             "LOG: výpis logu na standardní výstup selhal (%s), log se dál zapisuje jen do souboru \"%s\".\n",
             reason, LOG_FILE_NAME);
    ToStderr(message);
    std::lock_guard<std::mutex> lock(g_fileMutex);
    g_notice = message;
}

}

void LOG_Init()
{
    g_outputMode = 0;
    g_fileFailed = 0;
    {
        std::lock_guard<std::mutex> lock(g_fileMutex);
        g_fileLineOpen = false;
        g_notice.clear();
        WriteText(O_TRUNC, std::string());
    }
    g_stampRequest = 0;
    g_startFilterOn = 0;
}

// A notice still waiting ends the file on a line of its own.
void LOG_Done()
{
    std::lock_guard<std::mutex> lock(g_fileMutex);
    if (g_notice.empty())
        return;
    WriteText(O_APPEND, g_fileLineOpen ? "\n" + g_notice : g_notice);
    g_notice.clear();
    g_fileLineOpen = false;
}

void LOG_WriteFile(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::string text = FormatWhole(format, ap);
    va_end(ap);
    Echo(text.c_str());
    AppendText(text);
}

void LOG_Printf(const char* format, ...)
{
    if (g_startFilterOn && Clock() < g_startFilterTime)
        return;
    va_list ap;
    va_start(ap, format);
    LOG_FormatCut(g_message, sizeof g_message, format, ap);
    va_end(ap);
    BuildOutput();
    g_stampRequest = 0;
    if (g_outputMode == 0 || g_outputMode == 2)
        LOG_WriteFile("%s", g_output);
    else
        Echo(g_output);
    if (g_outputMode == 2 || !g_listBox)
        return;
    ShowInListBox(g_output);
}

void LOG_FormatCut(char* buffer, size_t size, const char* format, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(buffer, size, format, ap);
    if (n > 0 && static_cast<size_t>(n) >= size && size >= 2) {
        std::string whole(static_cast<size_t>(n) + 1, '\0');
        vsnprintf(whole.data(), whole.size(), format, copy);
        if (whole[static_cast<size_t>(n) - 1] == '\n')
            buffer[size - 2] = '\n';
    }
    va_end(copy);
}

void LOG_Alert(const char* format, ...)
{
    char text[LOG_BUFFER_SIZE];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    ToStderr(text);
    LOG_Printf("%s", text);
}

void LOG_StampNext() { g_stampRequest = 1; }

void LOG_PrintVector(const VEC3* vector)
{
    LOG_Printf("[%g , %g , %g]", vector->x, vector->y, vector->z);
}

int LOG_FormatDouble(const double* value, char* buffer)
{
    if (*value == 0.0 || std::isnan(*value))
        return sprintf(buffer, "<INVALID>");
    return sprintf(buffer, "%lf", *value);
}

void LOG_SetOutput(uint32_t mode) { g_outputMode = mode; }

void LOG_SetStartTime(int64_t time)
{
    g_startFilterTime = time;
    g_startFilterOn = 1;
}

void LOG_ClearStartTime() { g_startFilterOn = 0; }

void LOG_SetListBox(HWND listBox) { g_listBox = listBox; }

void LOG_SetClock(const int64_t* clock) { g_clock = clock; }

void LOG_SetEcho(LOG_ECHO echo) { g_echo = echo; }

uint32_t LOG_FileFailed() { return g_fileFailed; }

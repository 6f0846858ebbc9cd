// DATAOUT result files: per-run names, the timing of interval rows (pulling the
// clock back to a due row), the row text with its decimal comma, and the
// queue that appends rows to the files in batches.
#include <cstdint>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include "dataout/dataout.h"
#include "foundation/time.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include "platform/plat_file.h"

// ---------------------------------------------------------------- file names

struct NAME_BUILDER {
    char* text;
    uint32_t length;
    const char* source;   // the name as written
};

static void PutChars(NAME_BUILDER* out, const char* text, size_t count)
{
    for (size_t i = 0; i < count && out->length < DATAOUT_NAME_MAX_CHARS; ++i) out->text[out->length++] = text[i];
}

// At "#(": the parameter's value replaces "#(<name>)"; returns the position
// after the closing bracket, or null after a message.
static const char* PutParameter(NAME_BUILDER* out, const char* afterBracket)
{
    char* ident = IOTXT_IdentFromString(afterBracket);
    if (!ident) {
        LOG_Printf("DATAOUT: v názvu souboru \"%s\" se za #( očekává název parametru.\n", out->source);
        return nullptr;
    }
    const char* value = DATAOUT_ParamText(ident);
    if (!value) LOG_Printf("DATAOUT: parametr \"%s\" nenalezen - PreprocessFileName\n", ident);
    else PutChars(out, value, strlen(value));
    POOL_Free(ident);
    if (!value) return nullptr;
    const char* close = strchr(afterBracket, ')');
    return close ? close + 1 : afterBracket + strlen(afterBracket);
}

char* PreprocessFileName(const char* name)
{
    MEMORY_SetTag("DATAOUT:PREPROCESS-TMPBUF");
    NAME_BUILDER out{(char*)POOL_Alloc(DATAOUT_NAME_MAX_CHARS + 1), 0, name};
    if (!out.text) {
        LOG_Printf("DATAOUT: nedostatek paměti 1 - PreprocessFileName\n");
        return nullptr;
    }
    const char* p = name;
    while (*p) {
        if (*p != '#') PutChars(&out, p++, 1);
        else if (p[1] != '(') ++p;
        else if (!(p = PutParameter(&out, p + 2))) {
            POOL_Free(out.text);
            return nullptr;
        }
    }
    out.text[out.length] = 0;
    return out.text;
}

// ---------------------------------------------------------------- writing files

// Names may be written with a backslash as the separator and in another letter
// case than an existing file or folder. A named pipe is waited on for its
// reader (a stop ends the wait). Returns a descriptor or -1.
static int OpenResultFile(const char* name, int flags)
{
    char path[DATAOUT_NAME_MAX_CHARS + 1];
    if (!name || !UTIL_ResolvePath(name, path, sizeof path)) return -1;
    int32_t error = 0;
    return PLAT_OpenResultFile(path, flags, &error);
}

// A file that cannot be written is reported once for its name, on the
// terminal too, so that lost rows never go unnoticed even when the log itself
// cannot be written; the program then ends with a failure. The file gets no
// later rows of the run: it holds the rows up to the first one lost, without
// a gap that a later, shorter row could leave.
static void ReportLoss(DATAOUT_FILE* file)
{
    g_dataout.dataLost = 1;
    DATAOUT_ReleasePipe(file);
    if (file->lossReported) return;
    file->lossReported = 1;
    LOG_Alert("DATAOUT: do datového souboru \"%s\" nelze zapisovat, data se ztrácejí.\n",
              file->runName ? file->runName : file->name);
}

// A write that waits (a named pipe) is cut short when the program is to stop
// and its reader has taken nothing for a while; it then fails.
static uint32_t WriteAll(int fd, const char* text)
{
    int32_t error = 0;
    return PLAT_WriteAll(fd, text, strlen(text), &error);
}

// A text that could not be written whole (a full disk, a size limit) is cut
// back off the file, which then ends with the last whole row. 1 when it was
// written whole. A stream (a pipe, a copy of standard output) cannot be cut
// back: its reader has what came before the failure.
static uint32_t KeepWhole(int fd, uint32_t written, int64_t end)
{
    if (written) return 1;
    if (end >= 0) PLAT_CutOutputFile(fd, end);
    return 0;
}

void DATAOUT_ReleasePipe(DATAOUT_FILE* file)
{
    if (file->heldPipe < 0) return;
    int32_t error = 0;
    PLAT_CloseOutputFile(file->heldPipe, &error);
    file->heldPipe = -1;
}

// A pipe is kept open for the file's later rows; any other file is closed,
// and a failed close counts as a failed write.
static uint32_t CloseResultFile(DATAOUT_FILE* file, int fd, uint32_t written)
{
    if (fd == file->heldPipe) return written;
    if (written && PLAT_IsPipe(fd)) {
        file->heldPipe = fd;
        return 1;
    }
    int32_t error = 0;
    return PLAT_CloseOutputFile(fd, &error) && written;
}

static uint32_t WriteHeaderLine(int fd, const DATAOUT_FILE* file)
{
    uint32_t ok = 1;
    if (!file->results)
        ok = WriteAll(fd, file->columns ? "\"ČasAbsolutní\";\"ČasRelativní\";" : "\"ČasAbsolutní\";\"ČasRelativní\"");
    for (const DATAOUT_VALUE* column = file->columns; ok && column; column = column->next)
        ok = WriteAll(fd, "\"") && WriteAll(fd, column->name) && WriteAll(fd, column->next ? "\";" : "\"");
    return ok && WriteAll(fd, "\n");
}

void DATAOUT_WriteHeader(DATAOUT_FILE* file)
{
    DATAOUT_ReleasePipe(file);
    int fd = OpenResultFile(file->runName, O_TRUNC);
    int64_t end = -1;
    int32_t error = 0;
    if (fd >= 0 && PLAT_OutputFileEnd(fd, &end, &error) && end >= 0) end = 0;
    if (fd < 0 || !CloseResultFile(file, fd, KeepWhole(fd, WriteHeaderLine(fd, file), end))) ReportLoss(file);
}

// Appends the queued rows in order, each whole or not at all; the rows after
// one that failed are not tried. A file without a position (a pipe, a
// terminal) takes the rows as a stream: its reader has each row whole up to
// a failure, and a pipe write of a row of at most PIPE_BUF bytes (4096) is
// whole or nothing.
static uint32_t AppendRows(int fd, const DATAOUT_ROW* row)
{
    int64_t end = -1;
    int32_t error = 0;
    if (!PLAT_OutputFileEnd(fd, &end, &error)) return 0;
    for (; row; row = row->next) {
        if (!KeepWhole(fd, WriteAll(fd, row->text), end)) return 0;
        if (end >= 0) end += (int64_t)strlen(row->text);
    }
    return 1;
}

void DATAOUT_FlushFile(DATAOUT_FILE* file)
{
    if (!file->firstQueued) return;
    if (file->lossReported) {
        DATAOUT_FreeQueuedRows(file);
        return;
    }
    int fd = file->heldPipe >= 0 ? file->heldPipe : OpenResultFile(file->runName, O_APPEND);
    if (fd < 0 || !CloseResultFile(file, fd, AppendRows(fd, file->firstQueued))) ReportLoss(file);
    DATAOUT_FreeQueuedRows(file);
}

uint32_t DATAOUT_LostData()
{
    return g_dataout.dataLost;
}

// ---------------------------------------------------------------- row text

void DATAOUT_Append(uint32_t decimalComma, const char* format, ...)
{
    char scratch[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    char* buffer = g_dataout.rowBuffer;
    if (!buffer) return;
    for (const char* c = scratch; *c && g_dataout.rowLength < DATAOUT_ROW_MAX_CHARS; ++c)
        buffer[g_dataout.rowLength++] = (decimalComma && *c == '.') ? ',' : *c;
    buffer[g_dataout.rowLength] = 0;
}

void DATAOUT_AppendText(const char* format, ...)
{
    char scratch[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    DATAOUT_Append(0, "%s", scratch);
}

void DATAOUT_FormatNumber(double value, char* text, uint32_t room, const DATAOUT_VALUE* column)
{
    // A width and 1000 decimals of 1e308 take about 1310 characters.
    char scratch[2048];
    int width = column->width > 1000 ? 1000 : column->width;
    int decimals = column->decimals;
    if (width == 0) snprintf(scratch, sizeof scratch, column->exp ? "%.*le" : "%.*lf", decimals, value);
    else snprintf(scratch, sizeof scratch, column->exp ? "%*.*le" : "%*.*lf", width, decimals, value);
    uint32_t length = 0;
    for (; scratch[length] && length + 1 < room; ++length) text[length] = scratch[length] == '.' ? ',' : scratch[length];
    text[length] = 0;
}

// Decimals of the relative time column: enough to show one millisecond.
static int RelativeDecimals(uint64_t timeUnit)
{
    int decimals = 1;
    for (uint64_t limit = 10; timeUnit > limit && decimals < 8; limit *= 10) ++decimals;
    return decimals;
}

static void AppendTimeColumns(const DATAOUT_FILE* file)
{
    SYSTEMTIME st{};
    TIME_MsToSystemTime(g_simClock.clock, &st);
    DATAOUT_AppendText("\"%02d.%02d.%04d, %02d:%02d.%02d.%03d\";", st.wDay, st.wMonth, st.wYear, st.wHour,
                       st.wMinute, st.wSecond, st.wMilliseconds);
    double relative = (double)(g_simClock.clock - file->start) / (double)file->timeUnit;
    DATAOUT_Append(1, "%.*lf", RelativeDecimals(file->timeUnit), relative);
    if (file->columns) DATAOUT_AppendText(";");
}

static void AppendColumnValue(const DATAOUT_VALUE* column)
{
    uint32_t type = 0;
    int64_t integer = 0;
    double real = 0.0;
    char* text = nullptr;
    char value[DATAOUT_NUMBER_ROOM + 1];  // a text keeps 197 characters, a number 196
    DATAOUT_EvalSource(&column->source, &type, &integer, &real, &text);
    if (type == IOTXT_TYPE_INT64) DATAOUT_FormatNumber((double)integer, value, DATAOUT_NUMBER_ROOM, column);
    else if (type == IOTXT_TYPE_DOUBLE) DATAOUT_FormatNumber(real, value, DATAOUT_NUMBER_ROOM, column);
    else if (type == IOTXT_TYPE_STRING && text) snprintf(value, sizeof value, "%s", text);
    else snprintf(value, sizeof value, "%s", "?!type!?");
    DATAOUT_Append(1, "%s", value);
}

// Copies the row buffer to the end of the file's queue.
static void QueueRow(DATAOUT_FILE* file)
{
    uint32_t length = g_dataout.rowLength;
    MEMORY_SetTag("DATAOUT:textfile-item");
    DATAOUT_ROW* row = (DATAOUT_ROW*)POOL_Alloc(sizeof(DATAOUT_ROW) + 1);
    if (row) {
        MEMORY_SetTag("DATAOUT:textfile-item-text");
        row->text = (char*)POOL_Alloc(length + 11);
    }
    if (!row || !row->text) {
        if (row) POOL_Free(row);
        DATAOUT_FlushFile(file);   // the rows before the lost one are kept
        ReportLoss(file);
        return;
    }
    memcpy(row->text, g_dataout.rowBuffer, length + 1);
    row->next = nullptr;
    if (file->lastQueued) file->lastQueued->next = row;
    else file->firstQueued = row;
    file->lastQueued = row;
    ++file->queuedCount;
}

void DATAOUT_WriteRow(DATAOUT_FILE* file)
{
    if (!g_dataout.rowBuffer) return;
    g_dataout.rowLength = 0;
    g_dataout.rowBuffer[0] = 0;
    if (!file->results) AppendTimeColumns(file);
    for (const DATAOUT_VALUE* column = file->columns; column; column = column->next) {
        AppendColumnValue(column);
        if (column->next) DATAOUT_AppendText(";");
    }
    DATAOUT_AppendText("\n");
    QueueRow(file);
    if (g_simClock.realTotal - file->lastFlush > file->flushInterval || file->queuedCount >= DATAOUT_FLUSH_ROWS) {
        file->lastFlush = g_simClock.realTotal;
        DATAOUT_FlushFile(file);
    }
}

// ---------------------------------------------------------------- run timing

// time + interval, held at the largest time instead of overflowing.
static TIME_MS Later(TIME_MS time, uint64_t interval)
{
    if (time >= 0 && interval > (uint64_t)(INT64_MAX - time)) return INT64_MAX;
    return time + (TIME_MS)interval;
}

// An interval that divides a day puts the file's rows on the day's grid: the
// start moves to the first grid point at or after it. The remainder is taken
// non-negative so that a start before the clock's day aligns the same way.
static void AlignStart(DATAOUT_FILE* file)
{
    if (file->interval >= DATAOUT_DAY_MS || DATAOUT_DAY_MS % file->interval != 0) return;
    SYSTEMTIME st{};
    TIME_MsToSystemTime(g_simClock.clock, &st);
    st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
    TIME_MS midnight = TIME_SystemTimeToMs(&st);
    int64_t interval = (int64_t)file->interval;
    int64_t remainder = ((file->start - midnight) % interval + interval) % interval;
    if (remainder > 0) file->start += interval - remainder;
}

static uint32_t LinkColumns(DATAOUT_FILE* file)
{
    for (DATAOUT_VALUE* column = file->columns; column; column = column->next)
        if (!DATAOUT_LinkSource(&column->source)) return 0;
    return 1;
}

uint32_t DATAOUT_PrepareFiles()
{
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next) {
        if (!file->results) {
            DATAOUT_ReleasePipe(file);
            if (file->runName) POOL_Free(file->runName);
            file->runName = PreprocessFileName(file->name);
            if (!file->runName) return 0;
            file->lossReported = 0;
        }
        AlignStart(file);
        if (!LinkColumns(file)) return 0;
        file->nextSave = file->start;
        file->headerPending = 1;
        if (file->type == DATAOUT_FILE_CSV) {
            DATAOUT_FreeQueuedRows(file);
            file->lastFlush = g_simClock.realTotal;
        }
    }
    return 1;
}

uint32_t DATAOUT_Start()
{
    return DATAOUT_PrepareFiles() && DATAOUT_LinkNodes();
}

// The rows of a file fall due up to one interval past its end (the row at the
// end itself is not written, but its time still stops the clock).
TIME_MS DATAOUT_NextSaveTime()
{
    TIME_MS next = INT64_MAX;
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next) {
        if (file->results || file->nextSave > Later(file->end, file->interval)) continue;
        if (file->nextSave < next) next = file->nextSave;
    }
    return next;
}

void DATAOUT_WriteDue()
{
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next) {
        if (file->results || file->nextSave > g_simClock.clock) continue;
        file->nextSave = Later(file->nextSave, file->interval);
        if (g_simClock.clock >= file->end || file->type != DATAOUT_FILE_CSV) continue;
        if (file->headerPending) {
            DATAOUT_WriteHeader(file);
            file->headerPending = 0;
        }
        DATAOUT_WriteRow(file);
    }
}

// Every file of a run exists after it: an interval file that no row was due
// for still gets its header, and holds no rows of an earlier run.
void DATAOUT_Finish()
{
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next) {
        if (file->results || !file->headerPending || file->type != DATAOUT_FILE_CSV) continue;
        DATAOUT_WriteHeader(file);
        file->headerPending = 0;
    }
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next)
        if (file->results && file->type == DATAOUT_FILE_CSV) DATAOUT_WriteRow(file);
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next) DATAOUT_FlushFile(file);
    for (DATAOUT_FILE* file = g_dataout.firstFile; file; file = file->next) {
        if (file->results || !file->runName) continue;
        DATAOUT_ReleasePipe(file);
        POOL_Free(file->runName);
        file->runName = nullptr;
    }
}

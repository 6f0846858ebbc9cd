// The files the program writes, and the one routine that writes their bytes.
#include "platform/plat_file.h"
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "platform/plat_process.h"
#include "platform/plat_thread.h"
#include "platform/plat_time.h"

namespace {

// When a byte last went through to each descriptor after a stop, on
// PLAT_PerfCounterMicroseconds's clock (0: none since the descriptor was
// opened). Descriptors past the table count from the stop alone.
constexpr int kTrackedDescriptors = 1024;
std::atomic<int64_t> g_lastByteAt[kTrackedDescriptors];

void ForgetProgress(int fd)
{
    if (fd >= 0 && fd < kTrackedDescriptors)
        g_lastByteAt[fd].store(0);
}

void NoteProgress(int fd)
{
    if (fd >= 0 && fd < kTrackedDescriptors && PLAT_StopRequested())
        g_lastByteAt[fd].store(PLAT_PerfCounterMicroseconds());
}

// After a stop: whether a write that went nowhere may wait on, as a byte went
// through to the descriptor (or the stop came) less than the grace ago.
bool MayWaitOn(int fd)
{
    int64_t since = PLAT_StopRequestedAt();
    if (fd >= 0 && fd < kTrackedDescriptors) {
        int64_t last = g_lastByteAt[fd].load();
        if (last > since)
            since = last;
    }
    return PLAT_PerfCounterMicroseconds() - since < int64_t{PLAT_STOP_GRACE_MS} * 1000;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The standard descriptor (1 or 2) that is open on this regular file; -1
// when neither is.
int StandardDescriptorOf(const struct stat& file)
{
    if (!S_ISREG(file.st_mode))
        return -1;
    for (int fd : {1, 2}) {
        struct stat st {};
        if (fstat(fd, &st) == 0 && SameFile(st, file))
            return fd;
    }
    return -1;
}

// The path of the file open on the descriptor, as the system resolved it.
bool OpenedPath(int fd, char* path, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, size - 1);
    if (n <= 0 || static_cast<size_t>(n) >= size - 1)
        return false;
    path[n] = 0;
    return path[0] == '/';
}

}

void PLAT_HoldStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free number is the closed one.
        int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

int PLAT_OpenOutputFile(const char* name, int flags, int32_t* error)
{
    if (PLAT_FileOutputDenied()) {
        *error = ECANCELED;
        return -1;
    }
    // A named pipe with no reader fails at once (ENXIO) instead of waiting
    // for one; one with a reader opens, and is closed again.
    int fd = open(name, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | flags, 0666);
    int reason = errno;
    struct stat st {};
    bool pipe = fd >= 0 ? fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)
                        : reason == ENXIO && stat(name, &st) == 0 && S_ISFIFO(st.st_mode);
    if (pipe) {
        if (fd >= 0)
            close(fd);
        *error = PLAT_FILE_IS_PIPE;
        return -1;
    }
    if (fd < 0) {
        *error = reason;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ForgetProgress(fd);
    *error = 0;
    return fd;
}

int PLAT_CreateOutputFile(const char* name, int32_t* error)
{
    return PLAT_OpenOutputFile(name, O_TRUNC, error);
}

int PLAT_OpenResultFile(const char* name, int flags, int32_t* error)
{
    if (PLAT_FileOutputDenied()) {
        *error = ECANCELED;
        return -1;
    }
    struct stat st {};
    int standard = stat(name, &st) == 0 ? StandardDescriptorOf(st) : -1;
    int fd = -1;
    if (standard >= 0) {
        fd = fcntl(standard, F_DUPFD_CLOEXEC, 3);
    } else {
        // A signal from outside does not fail the open; a stop does, while
        // it waits for a named pipe's reader.
        do
            fd = open(name, O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
        while (fd < 0 && errno == EINTR && !PLAT_StopRequested());
    }
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    ForgetProgress(fd);
    *error = 0;
    return fd;
}

uint32_t PLAT_WriteAll(int fd, const void* bytes, size_t count, int32_t* error)
{
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
        if (PLAT_FileOutputDenied()) {
            *error = ECANCELED;
            return 0;
        }
        ssize_t written = write(fd, next, count);
        if (written > 0) {
            next += written;
            count -= static_cast<size_t>(written);
            NoteProgress(fd);
            continue;
        }
        if (written < 0 && errno == EINTR && (!PLAT_StopRequested() || MayWaitOn(fd)))
            continue;
        *error = written < 0 ? errno : EIO;
        return 0;
    }
    *error = 0;
    return 1;
}

uint32_t PLAT_OutputFileEnd(int fd, int64_t* end, int32_t* error)
{
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        *error = errno;
        return 0;
    }
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || StandardDescriptorOf(st) >= 0) {
        *end = -1;
        return 1;
    }
    off_t at = lseek(fd, 0, SEEK_END);
    if (at < 0 && errno == ESPIPE) {
        *end = -1;
        return 1;
    }
    if (at < 0) {
        *error = errno;
        return 0;
    }
    *end = at;
    return 1;
}

void PLAT_CutOutputFile(int fd, int64_t length)
{
    struct stat st {};
    if (length >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && StandardDescriptorOf(st) < 0) {
        int cut = ftruncate(fd, static_cast<off_t>(length));
        (void)cut;
    }
}

uint32_t PLAT_IsPipe(int fd)
{
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
}

uint32_t PLAT_CloseOutputFile(int fd, int32_t* error)
{
    ForgetProgress(fd);
    if (close(fd) == 0)
        return 1;
    *error = errno;
    return 0;
}

void PLAT_RemoveOutputFile(const char* name)
{
    struct stat st {};
    char resolved[PATH_MAX];
    if (name && stat(name, &st) == 0 && S_ISREG(st.st_mode) && realpath(name, resolved))
        unlink(resolved);
}

uint32_t PLAT_DiscardOutputFile(int fd, int32_t* error)
{
    struct stat st {};
    char path[PATH_MAX];
    bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bool named = regular && OpenedPath(fd, path, sizeof path);
    if (regular) {
        // Emptied first: were the name not to go, no cut file is left.
        int cut = ftruncate(fd, 0);
        (void)cut;
    }
    uint32_t closed = PLAT_CloseOutputFile(fd, error);
    struct stat there {};
    if (named && stat(path, &there) == 0 && SameFile(there, st))
        unlink(path);
    return closed;
}

// Output files that never make their writer wait.
#include "platform/plat_file.h"
#include "platform/plat_thread.h"
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    *error = 0;
    return fd;
}

int PLAT_CreateOutputFile(const char* name, int32_t* error)
{
    return PLAT_OpenOutputFile(name, O_TRUNC, error);
}

uint32_t PLAT_WriteAllBytes(int fd, const void* bytes, size_t count, int32_t* error)
{
    const char* next = static_cast<const char*>(bytes);
    if (PLAT_FileOutputDenied() && count > 0) {
        *error = ECANCELED;
        return 0;
    }
    while (count > 0) {
        ssize_t written = write(fd, next, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *error = written < 0 ? errno : EIO;
            return 0;
        }
        next += written;
        count -= static_cast<size_t>(written);
    }
    return 1;
}

void PLAT_RemoveOutputFile(const char* name)
{
    struct stat st {};
    if (name && stat(name, &st) == 0 && S_ISREG(st.st_mode))
        unlink(name);
}

// Loaded before the program (LD_PRELOAD) by the scenario tests: the Earth's
// sphere (128 slices) takes ORBIT_TEST_EARTH_MS milliseconds asleep, in a
// call that no signal ends, before it is drawn: a slow or hanging driver.
// The first one makes the file "earth_begun" in the current folder.
#include <GL/glu.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <ctime>

extern "C" void gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks)
{
    using Sphere = void (*)(GLUquadric*, GLdouble, GLint, GLint);
    static Sphere real = reinterpret_cast<Sphere>(dlsym(RTLD_NEXT, "gluSphere"));
    const char* ms = getenv("ORBIT_TEST_EARTH_MS");
    if (slices == 128 && ms) {
        // The test starts its stop once the first slow sphere has begun.
        static bool marked = false;
        if (!marked) {
            marked = true;
            int fd = open("earth_begun", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd >= 0)
                close(fd);
        }
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(atol(ms));
        for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
            auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - now).count();
            timespec rest{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
            nanosleep(&rest, nullptr);
        }
    }
    if (real)
        real(quadric, radius, slices, stacks);
}

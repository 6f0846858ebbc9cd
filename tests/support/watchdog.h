// Ends the test process when a test has not come to its end in time, so that
// a thread that waits for ever fails the test instead of holding it (and the
// test run) until an outer timeout.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace testsupport {

class Watchdog {
public:
    explicit Watchdog(int seconds)
        : thread_([this, seconds] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (done_cv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) return;
              static const char text[] = "the test still waits: ended by its watchdog\n";
              ssize_t written = write(2, text, sizeof text - 1);
              (void)written;
              std::_Exit(1);
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace testsupport

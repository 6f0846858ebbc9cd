// Ends the test process when a test has not come to its end in time, so that
// a thread that waits for ever fails the test instead of holding it (and the
// test run) until an outer timeout.
#pragma once
#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include "tests/support/test_support.h"

namespace testsupport {

class Watchdog {
public:
    explicit Watchdog(int seconds)
        : name_(CurrentTestName()), thread_([this, seconds] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (done_cv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) return;
              // Written to standard error as the program got it: a test that
              // captures descriptor 2 would swallow it.
              std::string text = "the test " + name_ + " still waits after " + std::to_string(seconds) +
                                 " s: ended by its watchdog\n";
              ssize_t written = write(OriginalStderr(), text.data(), text.size());
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
    static std::string CurrentTestName()
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        return test ? std::string(test->test_suite_name()) + "." + test->name() : "(outside a test)";
    }

    std::string name_;
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace testsupport

// The end of a call one thread posts to another: the caller waits until it is finished.
#pragma once

#include <condition_variable>
#include <mutex>

namespace host {

struct Completion {
    std::mutex mutex;
    std::condition_variable signal;
    bool done = false;

    void finish() {
        std::lock_guard lock(mutex);
        done = true;
        signal.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex);
        signal.wait(lock, [this] { return done; });
    }
};

}  // namespace host

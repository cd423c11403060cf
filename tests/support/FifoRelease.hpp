#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace corvantis::testing {

// Makes a FIFO at `path` and, for as long as it lives, keeps a reader that waits on it forever
// from hanging the test: whenever `patience` of real time passes while it lives, it opens the
// FIFO's writing end and closes it again, so that a waiting reader sees the end, and remembers
// that it had to. Code that never waits on the FIFO never meets it; the limit only bounds a run
// that would otherwise never end.
class FifoRelease {
public:
    explicit FifoRelease(std::filesystem::path path, std::chrono::seconds patience = std::chrono::seconds(30));
    ~FifoRelease();
    FifoRelease(const FifoRelease&) = delete;
    FifoRelease& operator=(const FifoRelease&) = delete;

    // Whether some reader was waiting on the FIFO and had to be let go.
    bool released() const;

private:
    void watch(std::chrono::seconds patience);

    const std::filesystem::path path_;
    mutable std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    bool released_ = false;
    std::thread watcher_;
};

}  // namespace corvantis::testing

#include "support/FifoRelease.hpp"

#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::testing {

FifoRelease::FifoRelease(std::filesystem::path path, std::chrono::seconds patience) : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0600) != 0) throw std::runtime_error("cannot make the FIFO " + path_.string());
    watcher_ = std::thread([this, patience] { watch(patience); });
}

FifoRelease::~FifoRelease() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    watcher_.join();
}

bool FifoRelease::released() const {
    std::lock_guard lock(mutex_);
    return released_;
}

void FifoRelease::watch(std::chrono::seconds patience) {
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, patience, [this] { return stopping_; })) {
        // Opening for writing without waiting succeeds only while someone has it open for reading.
        const int writer = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer < 0) continue;
        ::close(writer);
        released_ = true;
    }
}

}  // namespace corvantis::testing

#include "platform/dispatch/DescriptorWatch.hpp"

#include "platform/dispatch/ThreadName.hpp"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstdint>

namespace platform::dispatch {

DescriptorWatch::DescriptorWatch(int descriptor, std::function<void()> handler, DispatchQueuePtr queue)
    : descriptor_(descriptor),
      queue_(std::move(queue)),
      shared_(std::make_shared<Shared>()),
      wakeup_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    shared_->handler = std::move(handler);
    thread_ = std::thread([this] { wait(); });
}

DescriptorWatch::~DescriptorWatch() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopped = true;
        shared_->handler = nullptr;
    }
    shared_->handled.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeup_.get(), &one, sizeof one);
    thread_.join();
}

void DescriptorWatch::wait() {
    setCurrentThreadName("descriptor-watch");
    pollfd watched[2] = {{descriptor_, POLLIN, 0}, {wakeup_.get(), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(watched, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || watched[1].revents != 0) return;
        std::unique_lock lock(shared_->mutex);
        if (shared_->stopped) return;
        shared_->pending = true;
        // The queue may outlive this watch: the work holds the shared state, not the watch.
        queue_->async([shared = shared_] {
            std::function<void()> handler;
            {
                std::lock_guard lock(shared->mutex);
                handler = shared->handler;
            }
            if (handler) handler();
            {
                std::lock_guard lock(shared->mutex);
                shared->pending = false;
            }
            shared->handled.notify_all();
        });
        shared_->handled.wait(lock, [&] { return !shared_->pending || shared_->stopped; });
        if (shared_->stopped) return;
        // A hang-up or error stays reported: stop rather than spin.
        if ((watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return;
    }
}

}  // namespace platform::dispatch

#include "HelperService/CorvantisHelper/FileChangeWatch.hpp"

#include "platform/dispatch/ThreadName.hpp"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

Expected<std::unique_ptr<FileChangeWatch>> FileChangeWatch::start(const std::vector<std::filesystem::path>& files,
                                                                  std::function<void()> changed) {
    FileDescriptor notify(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (!notify.isOpen()) return Error::fromErrno("Cannot watch files");
    FileDescriptor wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.isOpen()) return Error::fromErrno("Cannot make the file watch's wake-up descriptor");
    std::unique_ptr<FileChangeWatch> watch(new FileChangeWatch(std::move(notify), std::move(wake)));
    for (const auto& file : files) {
        const int folder = ::inotify_add_watch(watch->notify_.get(), file.parent_path().c_str(),
                                               IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE);
        if (folder >= 0) watch->names_.emplace(folder, file.filename().string());
    }
    watch->thread_ = std::thread([raw = watch.get(), changed = std::move(changed)] { raw->watch(changed); });
    return watch;
}

FileChangeWatch::FileChangeWatch(FileDescriptor notify, FileDescriptor wake)
    : notify_(std::move(notify)), wake_(std::move(wake)) {}

FileChangeWatch::~FileChangeWatch() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
    if (thread_.joinable()) thread_.join();
}

void FileChangeWatch::watch(const std::function<void()>& changed) {
    platform::dispatch::setCurrentThreadName("file-watch");
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        pollfd watched[] = {{notify_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if ((watched[1].revents & POLLIN) != 0) return;
        bool relevant = false;
        for (;;) {
            const auto length = ::read(notify_.get(), buffer, sizeof buffer);
            if (length <= 0) break;
            for (const char* at = buffer; at < buffer + length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && names_.contains({event->wd, std::string(event->name)})) relevant = true;
                // The queue overflowed: anything may have changed.
                if ((event->mask & IN_Q_OVERFLOW) != 0) relevant = true;
                at += sizeof(inotify_event) + event->len;
            }
        }
        if (relevant) changed();
    }
}

}  // namespace corvantis::helper

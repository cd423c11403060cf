#include "app/RunningInstance.hpp"

#include "platform/foundation/TemporaryDirectory.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace corvantis {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

Expected<std::filesystem::path> RunningInstance::defaultFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        std::error_code error;
        if (std::filesystem::is_directory(runtime, error)) return std::filesystem::path(runtime);
    }
    return platform::foundation::privateTemporaryDirectory();
}

RunningInstance::RunningInstance(FileDescriptor lock, FileDescriptor listener)
    : lock_(std::move(lock)), listener_(std::move(listener)) {}

Expected<std::unique_ptr<RunningInstance>> RunningInstance::claim(const std::filesystem::path& folder) {
    const auto lockPath = folder / lockName;
    FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.isOpen()) return Error::fromErrno("Cannot open " + lockPath.string());
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return std::unique_ptr<RunningInstance>();
        return Error::fromErrno("Cannot lock " + lockPath.string());
    }
    // Holding the lock, the socket file left by an instance that ended is ours to replace.
    const auto socketPath = folder / socketName;
    const auto address = platform::xpc::unixSocketAddress(socketPath);
    if (!address) return address.error();
    ::unlink(socketPath.c_str());
    FileDescriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener.isOpen()) return Error::fromErrno("Cannot make a socket");
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()) != 0) {
        return Error::fromErrno("Cannot listen on " + socketPath.string());
    }
    if (::listen(listener.get(), 8) != 0) return Error::fromErrno("Cannot listen on " + socketPath.string());
    return std::make_unique<RunningInstance>(std::move(lock), std::move(listener));
}

bool RunningInstance::askToOpenPopup(const std::filesystem::path& folder) {
    const auto address = platform::xpc::unixSocketAddress(folder / socketName);
    if (!address) return false;
    // The running instance may be between taking its lock and listening.
    const auto deadline = std::chrono::steady_clock::now() + answerWait;
    for (;;) {
        const FileDescriptor connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!connection.isOpen()) return false;
        if (::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()) == 0) {
            return true;  // being connected is the request
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void RunningInstance::serve(std::function<void()> openPopup) {
    openPopup_ = std::move(openPopup);
    watch_ = std::make_unique<platform::dispatch::DescriptorWatch>(listener_.get(), [this] { takeRequests(); });
}

void RunningInstance::takeRequests() const {
    for (;;) {
        const FileDescriptor request(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!request.isOpen()) return;  // none left (or the listener failed: nothing to take)
        if (openPopup_) openPopup_();
    }
}

}  // namespace corvantis

#pragma once

#include "platform/dispatch/DescriptorWatch.hpp"
#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

namespace corvantis {

// Keeps the application to one running instance per user. The first start takes a lock in the
// user's runtime folder and listens on a socket beside it; a later start finds the lock taken,
// connects to that socket, which asks the running instance to open its popup, and ends there,
// before it has touched the helper or the tunnel.
class RunningInstance {
public:
    static constexpr const char* lockName = "corvantis-vpn.lock";
    static constexpr const char* socketName = "corvantis-vpn.sock";
    // How long a later start waits for a running instance that is still starting to listen.
    static constexpr std::chrono::seconds answerWait{3};

    // `$XDG_RUNTIME_DIR` when it names a folder, else the private temporary folder.
    static platform::foundation::Expected<std::filesystem::path> defaultFolder();

    // Makes this process the running instance of `folder`; no instance (and no error) when
    // another process is it.
    static platform::foundation::Expected<std::unique_ptr<RunningInstance>> claim(const std::filesystem::path& folder);
    // Asks the instance running in `folder` to open its popup; false when none took the request.
    static bool askToOpenPopup(const std::filesystem::path& folder);

    // From now on, each later start's request runs `openPopup` on the main queue.
    void serve(std::function<void()> openPopup);

    RunningInstance(platform::foundation::FileDescriptor lock, platform::foundation::FileDescriptor listener);

private:
    void takeRequests() const;

    // Held for the life of the process; the kernel lets it go when the process ends, however.
    platform::foundation::FileDescriptor lock_;
    platform::foundation::FileDescriptor listener_;
    std::function<void()> openPopup_;
    std::unique_ptr<platform::dispatch::DescriptorWatch> watch_;
};

}  // namespace corvantis

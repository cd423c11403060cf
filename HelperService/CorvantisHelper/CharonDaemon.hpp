#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/RunFolder.hpp"
#include "platform/foundation/Expected.hpp"
#include "platform/foundation/ProcessLauncher.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace corvantis::helper {

// strongSwan's charon (charon-systemd) run by the helper for one IKEv2 tunnel, with a
// strongswan.conf of its own and its VICI socket in a root-only run folder, so that neither
// this machine's IPsec configuration nor another user reaches it. It stops when the object goes.
class CharonDaemon {
public:
    struct Options {
        std::filesystem::path program = "/usr/sbin/charon-systemd";
        // The resolver file charon writes the server's name servers into, and restores.
        std::filesystem::path resolverFile = "/etc/resolv.conf";
        // true: ESP in charon itself (kernel-libipsec), for kernels without ESP.
        bool userSpaceEsp = true;
        // With charon's own ESP: an SA may cover traffic to the IKE peer itself (host to host),
        // the peer's IKE packets kept out of it by the packet marks.
        bool allowPeerTrafficSelectors = false;
        std::chrono::milliseconds startLimit{5000};
    };

    static platform::foundation::Expected<std::unique_ptr<CharonDaemon>> start(
        std::shared_ptr<platform::foundation::ProcessLauncher> launcher, const std::filesystem::path& runtimeFolder,
        const Options& options, std::shared_ptr<HelperLog> log);
    ~CharonDaemon();
    CharonDaemon(const CharonDaemon&) = delete;
    CharonDaemon& operator=(const CharonDaemon&) = delete;

    std::filesystem::path viciSocket() const { return folder_->path() / "charon.vici"; }
    std::filesystem::path logFile() const { return folder_->path() / "charon.log"; }

    // The strongswan.conf for a run folder: the packaged plugin settings, the kernel's or
    // charon's own ESP, its VICI socket and log file, short retransmissions (five tries a second
    // apart, as dead-peer detection expects), nothing of this machine's own IPsec setup.
    static std::string configuration(const std::filesystem::path& folder, const Options& options);

private:
    CharonDaemon(std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::unique_ptr<RunFolder> folder,
                 std::shared_ptr<HelperLog> log);
    bool waitForEnd(std::chrono::milliseconds limit);

    struct Exit {
        std::mutex mutex;
        std::condition_variable changed;
        bool ended = false;
    };

    std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    std::unique_ptr<RunFolder> folder_;
    std::shared_ptr<HelperLog> log_;
    std::shared_ptr<Exit> exit_ = std::make_shared<Exit>();
    pid_t pid_ = -1;
};

}  // namespace corvantis::helper

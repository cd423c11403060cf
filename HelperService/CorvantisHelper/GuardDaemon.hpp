#pragma once

#include "HelperService/CorvantisHelper/GuardRules.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "platform/foundation/ProcessLauncher.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

namespace corvantis::helper {

// The kill-switch guard as the service that systemd keeps running: it reads the helper's key
// file once, puts the guard's nftables table in place and renews it whenever the kernel's routes
// or interfaces change, so that a server switch (a new host route) keeps working. The table
// stays when the guard stops: the protection must not end with the process.
class GuardDaemon {
public:
    GuardDaemon(std::filesystem::path keyFile, std::filesystem::path nft,
                std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log);

    // Applies the rules, then watches for ever; returns only when it cannot watch (non-zero).
    int run();
    // Reads the routes and applies the rules when they differ from the last ones applied.
    bool apply();

private:
    const std::filesystem::path keyFile_;
    const std::filesystem::path nft_;
    const std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    const std::shared_ptr<HelperLog> log_;
    std::mutex mutex_;  // route changes arrive on the monitor's thread
    std::optional<GuardState> applied_;
};

}  // namespace corvantis::helper

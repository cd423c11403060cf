#pragma once

#include "HelperService/CorvantisHelper/GuardInputs.hpp"
#include "HelperService/CorvantisHelper/GuardRules.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "platform/foundation/ProcessLauncher.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

namespace corvantis::helper {

// The kill-switch guard as the service that systemd keeps running: it puts the guard's nftables
// table in place, tells systemd it is ready only then (so that, ordered before the network, the
// table stands before any interface is configured), and renews the table whenever the key file,
// the server's endpoints, the resolver configuration, the routes or the interfaces change, and
// puts it back whenever another program removes or changes it (a firewall reload flushes the
// whole ruleset). The table stays when the guard stops: the protection must not end with the
// process.
class GuardDaemon {
public:
    GuardDaemon(std::filesystem::path keyFile, std::filesystem::path nft, GuardInputPaths inputs,
                std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log);

    // Applies the rules, then watches for ever; returns only when it cannot apply them at first
    // or cannot watch (non-zero), or when asked to stop (zero).
    int run();
    // Reads what decides the rules and applies them when they differ from the last ones applied.
    bool apply();
    // After a change to the firewall: applies the rules again unless the guard's table is still
    // exactly as the guard left it.
    bool reassert();

private:
    bool applyLocked();
    // The guard's table as nft lists it; empty when there is none.
    std::string listedTable() const;

    const std::filesystem::path keyFile_;
    const std::filesystem::path nft_;
    const GuardInputPaths inputs_;
    const std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    const std::shared_ptr<HelperLog> log_;
    std::mutex mutex_;  // changes arrive on the watches' threads
    std::optional<GuardState> applied_;
    // How nft listed the table just after the guard applied it.
    std::string appliedListing_;
};

}  // namespace corvantis::helper

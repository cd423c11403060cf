#pragma once

#include "platform/foundation/Expected.hpp"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// xl2tpd's control interface: one line per command into its control FIFO, naming a result FIFO
// of ours ("@<result> <command>"); xl2tpd answers there with lines that begin with a two-digit
// code ("00 OK") and closes it.
class Xl2tpdControl {
public:
    static constexpr std::chrono::milliseconds replyTimeLimit{3000};

    // Tunnels and sessions (calls) that xl2tpd has open.
    struct Counts {
        int tunnels = 0;
        int calls = 0;
    };

    // `resultFolder` must be a folder only root can enter: the result FIFOs are made there.
    Xl2tpdControl(std::filesystem::path controlFifo, std::filesystem::path resultFolder);

    // Error code ENOENT or ENXIO: xl2tpd is not (yet) listening.
    platform::foundation::Expected<void> connectLac(const std::string& name) const;
    platform::foundation::Expected<void> disconnectLac(const std::string& name) const;
    platform::foundation::Expected<Counts> available() const;

    // The reply lines of one command; a reply whose first code is not 00 is an error carrying its text.
    platform::foundation::Expected<std::vector<std::string>> send(std::string_view command) const;

private:
    const std::filesystem::path controlFifo_;
    const std::filesystem::path resultFolder_;
    mutable std::atomic<unsigned> nextResult_{0};
};

}  // namespace corvantis::helper

#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvantis::testing {

// Plays xl2tpd's control interface for a test on a machine without PPP: makes the control FIFO,
// reads its commands and answers each on the result FIFO the command names, as xl2tpd does.
// Connecting "brings up" a session whose PPP link is `interface` (an existing one, e.g. "lo"),
// written to pppd's pid file as pppd would.
class Xl2tpdStandIn {
public:
    Xl2tpdStandIn(std::filesystem::path controlFifo, std::filesystem::path pppPidFile, std::string interface = "lo");
    ~Xl2tpdStandIn();
    Xl2tpdStandIn(const Xl2tpdStandIn&) = delete;
    Xl2tpdStandIn& operator=(const Xl2tpdStandIn&) = delete;

    // Every command line read, without its result FIFO ("c corvantis").
    std::vector<std::string> commands() const;
    // The session ends on its own, as when the server hangs up.
    void dropSession();

private:
    void serve(int fd);
    std::string answer(const std::string& command);

    const std::filesystem::path controlFifo_;
    const std::filesystem::path pppPidFile_;
    const std::string interface_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    bool sessionUp_ = false;
    std::thread thread_;
};

}  // namespace corvantis::testing

#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace corvantis::testing {

// Plain HTTP is only for this machine, so a test's public-address lookups go to a loopback port
// that passes each connection on to the echo service; which way the bytes then take (tunnel or
// not) is the routes' business, as for any other connection. It listens in the network namespace
// of the thread that makes it.
class LoopbackRelay {
public:
    LoopbackRelay(std::string targetAddress, int targetPort);
    ~LoopbackRelay();
    LoopbackRelay(const LoopbackRelay&) = delete;
    LoopbackRelay& operator=(const LoopbackRelay&) = delete;

    int port() const { return port_; }

private:
    void acceptLoop();
    void relay(int client) const;

    std::string targetAddress_;
    int targetPort_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace corvantis::testing

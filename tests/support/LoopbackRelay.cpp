#include "support/LoopbackRelay.hpp"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvantis::testing {

LoopbackRelay::LoopbackRelay(std::string targetAddress, int targetPort)
    : targetAddress_(std::move(targetAddress)), targetPort_(targetPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    ::listen(listener_, 16);
    thread_ = std::thread([this] { acceptLoop(); });
}

LoopbackRelay::~LoopbackRelay() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

void LoopbackRelay::acceptLoop() {
    while (!stopping_) {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) break;
        std::thread([this, client] { relay(client); }).detach();
    }
}

void LoopbackRelay::relay(int client) const {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(targetPort_));
    ::inet_pton(AF_INET, targetAddress_.c_str(), &address.sin_addr);
    if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        char buffer[4096];
        for (bool open = true; open && ::poll(ends, 2, 30000) > 0;) {
            for (int side = 0; side < 2 && open; ++side) {
                if ((ends[side].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
                const auto count = ::read(ends[side].fd, buffer, sizeof buffer);
                open = count > 0 && ::write(ends[1 - side].fd, buffer, static_cast<std::size_t>(count)) == count;
            }
        }
    }
    ::close(server);
    ::close(client);
}

}  // namespace corvantis::testing

// The helper's route command round trip (connect, frame, allow-list, the route change through
// netlink, first reply) next to a raw Unix-socket request/reply round trip with frames of the same
// size. It changes routes, so it runs as root in a network namespace of its own (loopback and a
// tun device), never on this machine's table; without root it says so and prints no row.

#include "HelperService/CorvantisHelper/CorvantisHelper.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "bench/BenchmarkFolder.hpp"
#include "bench/ComparisonRow.hpp"
#include "bench/PrivateHelperConfiguration.hpp"
#include "platform/assembly/helper/HelperServices.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/xpc/MessageFrame.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"
#include "platform/xpc/XpcClientConnection.hpp"
#include "platform/xpc/XpcListener.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using corvantis::bench::median;

using Clock = std::chrono::steady_clock;
using platform::foundation::FileDescriptor;

constexpr int repetitions = 9;
constexpr int callsPerRepetition = 200;
constexpr const char* tunnelDevice = "corvbench0";
// The tun device's address; the routes go through a gateway on its network.
constexpr const char* tunnelAddress = "10.77.0.1";
constexpr const char* routeGateway = "10.77.0.2";

class SilentLog final : public corvantis::helper::HelperLog {
public:
    void notice(const std::string&) override {}
};

bool fail(const std::string& what) {
    std::cerr << "compare_helper_routes: " << what << ": " << std::strerror(errno) << "\n";
    return false;
}

bool setFlags(int control, const char* device, short flags) {
    ifreq request{};
    std::strncpy(request.ifr_name, device, IFNAMSIZ - 1);
    if (::ioctl(control, SIOCGIFFLAGS, &request) != 0) return fail(std::string("reading the flags of ") + device);
    request.ifr_flags = static_cast<short>(request.ifr_flags | flags);
    if (::ioctl(control, SIOCSIFFLAGS, &request) != 0) return fail(std::string("bringing up ") + device);
    return true;
}

bool setAddress(int control, unsigned long request, const char* text) {
    ifreq interface {};
    std::strncpy(interface.ifr_name, tunnelDevice, IFNAMSIZ - 1);
    auto* address = reinterpret_cast<sockaddr_in*>(&interface.ifr_addr);
    address->sin_family = AF_INET;
    ::inet_pton(AF_INET, text, &address->sin_addr);
    if (::ioctl(control, request, &interface) != 0) return fail(std::string("setting ") + text + " on the tun device");
    return true;
}

// A network namespace of this process's own with loopback and a tun device 10.77.0.1/24 up.
// The tun device lives as long as `tun` stays open.
bool enterPrivateNetwork(FileDescriptor& tun) {
    if (::unshare(CLONE_NEWNET) != 0) return fail("making a network namespace");
    FileDescriptor control(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!control.isOpen()) return fail("opening a control socket");
    if (!setFlags(control.get(), "lo", IFF_UP)) return false;
    tun = FileDescriptor(::open("/dev/net/tun", O_RDWR | O_CLOEXEC));
    if (!tun.isOpen()) return fail("opening /dev/net/tun");
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, tunnelDevice, IFNAMSIZ - 1);
    if (::ioctl(tun.get(), TUNSETIFF, &request) != 0) return fail("making the tun device");
    return setAddress(control.get(), SIOCSIFADDR, tunnelAddress) && setAddress(control.get(), SIOCSIFNETMASK, "255.255.255.0") &&
           setFlags(control.get(), tunnelDevice, IFF_UP);
}

std::string routeLine(int call) {
    return std::string(call % 2 == 0 ? "route -n add -net " : "route -n delete ") + "198.51.100.7 " + routeGateway;
}

nlohmann::json routeRequest(int call) {
    return corvantis::helper::HelperWireCodec::encodeCall(corvantis::helper::HelperCall::runCommand(routeLine(call), true));
}

// One repetition of the helper's route command: the median call, in microseconds.
double helperRepetition(const std::filesystem::path& socket, bool& failed) {
    std::vector<double> calls;
    for (int call = 0; call < callsPerRepetition; ++call) {
        const auto request = routeRequest(call);
        const auto start = Clock::now();
        auto connection = platform::xpc::XpcClientConnection::connect(socket);
        if (!connection || !connection.value().send(request)) {
            failed = true;
            return 0;
        }
        auto reply = connection.value().receiveFirstReply();
        const auto end = Clock::now();
        // A refused change would be a round trip without the route work being measured.
        if (!reply || !reply.value() || reply.value()->value("reply", std::string("?")) != "") {
            std::cerr << "compare_helper_routes: the helper answered "
                      << (reply && reply.value() ? reply.value()->dump() : "nothing") << " to \"" << routeLine(call) << "\"\n";
            failed = true;
            return 0;
        }
        calls.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    return median(calls);
}

// The same exchange over a bare Unix socket: connect, a frame of the request's size, a frame of
// the reply's size back.
class RawEcho {
public:
    explicit RawEcho(const std::filesystem::path& path) : address_(platform::xpc::unixSocketAddress(path).value()) {
        std::filesystem::remove(path);
        server_ = FileDescriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ::bind(server_.get(), reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
        ::listen(server_.get(), 64);
        echo_ = std::thread([this] {
            const std::string reply = nlohmann::json{{"reply", ""}}.dump();
            while (running_) {
                FileDescriptor connection(::accept4(server_.get(), nullptr, nullptr, SOCK_CLOEXEC));
                if (!connection.isOpen()) continue;
                // A reply that cannot be written shows as the client's missing answer.
                if (platform::xpc::readFrame(connection.get())) (void)platform::xpc::writeFrame(connection.get(), reply);
            }
        });
    }

    ~RawEcho() {
        running_ = false;
        // Shutting the listening socket down wakes the echo thread from accept.
        ::shutdown(server_.get(), SHUT_RDWR);
        echo_.join();
    }

    double repetition() const {
        std::vector<double> calls;
        for (int call = 0; call < callsPerRepetition; ++call) {
            const std::string request = routeRequest(call).dump();
            const auto start = Clock::now();
            FileDescriptor client(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
            ::connect(client.get(), reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
            if (!platform::xpc::writeFrame(client.get(), request)) return -1;
            auto answer = platform::xpc::readFrame(client.get());
            const auto end = Clock::now();
            if (!answer || !answer.value()) return -1;
            calls.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        }
        return median(calls);
    }

private:
    sockaddr_un address_;
    FileDescriptor server_;
    std::atomic<bool> running_{true};
    std::thread echo_;
};

std::string milliseconds(double microseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", microseconds / 1000);
    return text;
}

}  // namespace

int main() {
    platform::installHelperServices();
    if (::geteuid() != 0) {
        std::cerr << "compare_helper_routes: skipped: it changes routes, which needs root (in a network namespace of its own)\n";
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);
    FileDescriptor tun;
    if (!enterPrivateNetwork(tun)) return 1;

    const auto folder = corvantis::bench::benchmarkFolder();
    const auto loaded = corvantis::bench::privateHelperConfiguration(folder);
    if (!loaded) {
        std::cerr << "compare_helper_routes: " << loaded.error().message << "\n";
        return 1;
    }
    const auto& configuration = loaded.value();
    auto helper = std::make_shared<corvantis::helper::CorvantisHelper>(
        corvantis::helper::CorvantisHelper::Dependencies{configuration, std::make_shared<SilentLog>(), {}});
    const auto socket = folder / "helper.sock";
    auto listener = std::move(platform::xpc::XpcListener::listen(socket).value());
    listener->resume(helper);
    RawEcho raw(folder / "raw.sock");

    std::vector<double> ours;
    std::vector<double> reference;
    bool failed = false;
    for (int repetition = 0; repetition < repetitions && !failed; ++repetition) {
        ours.push_back(helperRepetition(socket, failed));
        reference.push_back(raw.repetition());
        if (reference.back() < 0) failed = true;
        std::cerr << "repetition " << repetition + 1 << ": helper route command p50 " << milliseconds(ours.back())
                  << ", raw socket round trip p50 " << milliseconds(reference.back()) << "\n";
    }
    listener->invalidate();
    std::filesystem::remove_all(folder);
    if (failed) return 1;

    const double oursMedian = median(ours);
    const double referenceMedian = median(reference);
    corvantis::bench::printRow("helper route command round trip (p50)", milliseconds(oursMedian),
                               milliseconds(referenceMedian) + " (raw Unix socket)",
                               corvantis::bench::formatted("%.1fx", oursMedian / referenceMedian), "<= 2 ms", oursMedian <= 2000);
    return 0;
}

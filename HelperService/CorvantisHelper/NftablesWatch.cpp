#include "HelperService/CorvantisHelper/NftablesWatch.hpp"

#include "platform/dispatch/ThreadName.hpp"

#include <cerrno>
#include <cstdint>
#include <linux/netfilter/nfnetlink.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

Expected<std::unique_ptr<NftablesWatch>> NftablesWatch::start(std::function<void()> changed) {
    FileDescriptor socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_NETFILTER));
    if (!socket.isOpen()) return Error::fromErrno("Cannot open a netfilter netlink socket");
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return Error::fromErrno("Cannot bind the netfilter netlink socket");
    }
    const int group = NFNLGRP_NFTABLES;
    if (::setsockopt(socket.get(), SOL_NETLINK, NETLINK_ADD_MEMBERSHIP, &group, sizeof group) != 0) {
        return Error::fromErrno("Cannot hear nftables' changes");
    }
    FileDescriptor wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.isOpen()) return Error::fromErrno("Cannot make the nftables watch's wake-up descriptor");
    std::unique_ptr<NftablesWatch> watch(new NftablesWatch(std::move(socket), std::move(wake)));
    watch->thread_ = std::thread([raw = watch.get(), changed = std::move(changed)] { raw->watch(changed); });
    return watch;
}

NftablesWatch::NftablesWatch(FileDescriptor socket, FileDescriptor wake) : socket_(std::move(socket)), wake_(std::move(wake)) {}

NftablesWatch::~NftablesWatch() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
    if (thread_.joinable()) thread_.join();
}

void NftablesWatch::watch(const std::function<void()>& changed) {
    platform::dispatch::setCurrentThreadName("nftables-watch");
    char buffer[16384];
    for (;;) {
        pollfd watched[] = {{socket_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if ((watched[1].revents & POLLIN) != 0) return;
        if (watched[0].revents == 0) continue;
        // What the messages say does not matter: whoever hears them looks at the rules again.
        // A full socket (ENOBUFS) lost some, which is a change too.
        bool heard = false;
        for (;;) {
            const auto size = ::recv(socket_.get(), buffer, sizeof buffer, 0);
            if (size > 0 || (size < 0 && errno == ENOBUFS)) {
                heard = true;
                continue;
            }
            if (size < 0 && errno == EINTR) continue;
            if (size < 0 && errno == EAGAIN) break;
            return;
        }
        if (heard) changed();
    }
}

}  // namespace corvantis::helper

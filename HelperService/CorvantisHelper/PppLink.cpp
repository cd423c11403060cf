#include "HelperService/CorvantisHelper/PppLink.hpp"

#include "HelperService/CorvantisHelper/RootFiles.hpp"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sstream>

namespace corvantis::helper {

using State = L2TPLinkState::Ppp;

namespace {

// Whether interface `name` exists, and whether it has an IPv4 address.
std::pair<bool, bool> interfaceState(const std::string& name) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {false, false};
    bool exists = false;
    bool addressed = false;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr || name != entry->ifa_name) continue;
        exists = exists || (entry->ifa_flags & IFF_UP) != 0;
        addressed = addressed || (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET);
    }
    ::freeifaddrs(list);
    return {exists, exists && addressed};
}

}  // namespace

PppLink::PppLink(std::filesystem::path runFolder, std::string linkName)
    : runFolder_(std::move(runFolder)), linkName_(std::move(linkName)) {}

std::filesystem::path PppLink::pidFile() const {
    return runFolder_ / ("ppp-" + linkName_ + ".pid");
}

State PppLink::state() const {
    auto content = RootFiles::readRegularFile(pidFile());
    if (!content) return State::absent;
    std::istringstream lines(content.value());
    std::string pid;
    std::string interface;
    std::getline(lines, pid);
    std::getline(lines, interface);
    // pppd writes the interface's name once the interface exists.
    if (interface.empty() || interface.size() >= IFNAMSIZ) return State::absent;
    const auto [exists, addressed] = interfaceState(interface);
    if (!exists) return State::absent;
    return addressed ? State::up : State::upWithoutAddress;
}

void PppLink::clear() const {
    std::error_code ignored;
    std::filesystem::remove(pidFile(), ignored);
}

}  // namespace corvantis::helper

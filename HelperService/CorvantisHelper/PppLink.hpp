#pragma once

#include "HelperService/CorvantisHelper/L2TPLinkState.hpp"

#include <filesystem>
#include <string>

namespace corvantis::helper {

// The PPP interface that pppd brings up under a link name of ours: pppd writes
// "<runFolder>/ppp-<link name>.pid" with its process id and the interface's name, and removes it
// when the link ends.
class PppLink {
public:
    PppLink(std::filesystem::path runFolder, std::string linkName);

    const std::string& linkName() const { return linkName_; }
    std::filesystem::path pidFile() const;

    // Absent without the pid file or its interface; up once the interface has an IPv4 address.
    L2TPLinkState::Ppp state() const;
    // Forgets the file of an earlier link that ended without removing it.
    void clear() const;

private:
    const std::filesystem::path runFolder_;
    const std::string linkName_;
};

}  // namespace corvantis::helper

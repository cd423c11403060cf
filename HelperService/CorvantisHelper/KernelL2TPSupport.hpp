#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvantis::helper {

// What of PPP and L2TP the running kernel offers. pppd cannot make an interface without PPP;
// without kernel L2TP xl2tpd carries the data itself over a pseudo-terminal, more slowly.
struct KernelL2TPSupport {
    bool ppp = false;
    bool l2tp = false;

    // Looks at the PPP device, the kernel's L2TP table and whether PPPoL2TP sockets are offered.
    static KernelL2TPSupport probe(const std::filesystem::path& pppDevice = "/dev/ppp",
                                   const std::filesystem::path& l2tpTable = "/proc/net/pppol2tp");

    // Why an L2TP/IPsec connection cannot come up on this kernel; none when it can.
    std::optional<std::string> refusal() const;
};

}  // namespace corvantis::helper

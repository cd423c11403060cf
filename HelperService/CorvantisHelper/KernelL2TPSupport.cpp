#include "HelperService/CorvantisHelper/KernelL2TPSupport.hpp"

#include <linux/if_pppox.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::helper {

namespace {

bool pppol2tpSocketsOffered() {
    const int probe = ::socket(AF_PPPOX, SOCK_DGRAM | SOCK_CLOEXEC, PX_PROTO_OL2TP);
    if (probe < 0) return false;
    ::close(probe);
    return true;
}

}  // namespace

KernelL2TPSupport KernelL2TPSupport::probe(const std::filesystem::path& pppDevice, const std::filesystem::path& l2tpTable) {
    struct stat device {};
    KernelL2TPSupport support;
    support.ppp = ::stat(pppDevice.c_str(), &device) == 0 && S_ISCHR(device.st_mode);
    std::error_code ignored;
    support.l2tp = std::filesystem::exists(l2tpTable, ignored) || pppol2tpSocketsOffered();
    return support;
}

std::optional<std::string> KernelL2TPSupport::refusal() const {
    if (ppp) return std::nullopt;
    return std::string("This kernel has no PPP (/dev/ppp is missing)") + (l2tp ? "" : " and no L2TP (no PPPoL2TP sockets)") +
           ": L2TP/IPsec needs a kernel built with CONFIG_PPP and CONFIG_PPPOL2TP";
}

}  // namespace corvantis::helper

#include "HelperService/CorvantisHelper/TunnelIpv6Hold.hpp"

#include "platform/foundation/InputPipe.hpp"
#include "platform/foundation/ProcessRun.hpp"

namespace corvantis::helper {

TunnelIpv6Hold::TunnelIpv6Hold(std::filesystem::path nft, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                               std::shared_ptr<HelperLog> log)
    : nft_(std::move(nft)), launcher_(std::move(launcher)), log_(std::move(log)) {}

std::string TunnelIpv6Hold::tableText() {
    std::string chains;
    for (const char* hook : {"output", "forward"}) {
        chains += std::string("  chain ") + hook + " {\n    type filter hook " + hook +
                  " priority 0; policy accept;\n"
                  "    oifname \"lo\" accept\n    oifname \"tun*\" accept\n"
                  "    icmpv6 type { nd-neighbor-solicit, nd-neighbor-advert, nd-router-solicit } accept\n"
                  "    meta nfproto ipv6 drop\n  }\n";
    }
    // Adding first makes the deletion succeed whether or not the table was there.
    return std::string("add table inet ") + tableName + "\ndelete table inet " + tableName + "\ntable inet " + tableName +
           " {\n" + chains + "}\n";
}

void TunnelIpv6Hold::hold() {
    if (run(tableText())) log_->notice("IPv6 stays in while the tunnel, which carries none of it, is up");
}

void TunnelIpv6Hold::release() {
    const auto listed = platform::foundation::runToEnd(*launcher_, {nft_, {"list", "table", "inet", tableName}, {}});
    if (!listed || !listed.value().exit.succeeded()) return;
    if (run(std::string("delete table inet ") + tableName + "\n")) log_->notice("IPv6 flows again: no tunnel is up");
}

bool TunnelIpv6Hold::run(const std::string& script) const {
    auto input = platform::foundation::InputPipe::make();
    if (!input || !input.value()->write(script)) return false;
    input.value()->closeWriter();
    const auto ran = platform::foundation::runToEnd(*launcher_, {nft_, {"-f", "-"}, {}, input.value()});
    if (ran && ran.value().exit.succeeded()) return true;
    log_->notice("nft refused the tunnel's IPv6 hold: " + (ran ? ran.value().standardError : ran.error().message));
    return false;
}

}  // namespace corvantis::helper

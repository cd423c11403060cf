#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace corvantis::testing {

// What crosses a physical link, counted by nft where the link arrives (in another network
// namespace, standing for the LAN and the internet), and probes of every kind sent from the
// client's namespace to destinations that nothing lets out on purpose: TCP, UDP, ICMP and DNS,
// IPv4 and IPv6, and a DHCP-shaped datagram to a host that is no DHCP server. Packets the test
// expects on the link (the tunnel's, DNS to the listed name server) have counters of their own;
// anything else counts as "other". Neighbour discovery is not counted.
class LinkLeakProbe {
public:
    using Counts = std::map<std::string, long>;
    // A counter of expected packets: its name and the nft match that picks them.
    struct Expected {
        std::string name;
        std::string match;
    };

    static const std::vector<std::string>& probeKinds();

    // Counts what arrives by `link` in `countingNamespace`, from probes sent in `clientNamespace`.
    LinkLeakProbe(std::string countingNamespace, std::string link, std::string clientNamespace, std::vector<Expected> expected);
    ~LinkLeakProbe();
    LinkLeakProbe(const LinkLeakProbe&) = delete;
    LinkLeakProbe& operator=(const LinkLeakProbe&) = delete;

    // Puts the counters in place; false (with the reason in `problem`) when nft refused them.
    bool install(std::string& problem);
    // Probes every quarter second for `duration`, or until `enough` holds of what crossed so far;
    // `alsoEachRound` runs after each round of probes (another query, a check).
    Counts probeFor(std::chrono::milliseconds duration, const std::function<bool(const Counts&)>& enough = {},
                    const std::function<void()>& alsoEachRound = {});

    // The probes that crossed, and whether each kind was seen.
    static long leaks(const Counts& counts);
    static bool everyKindSeen(const Counts& counts);
    static std::string describe(const Counts& counts);
    // The table of steps, one line each, one column per counter.
    static std::string table(const std::vector<std::pair<std::string, Counts>>& steps);

private:
    Counts read() const;

    const std::string countingNamespace_;
    const std::string link_;
    const std::string clientNamespace_;
    const std::vector<Expected> expected_;
    std::uint16_t sequence_ = 0;
};

}  // namespace corvantis::testing

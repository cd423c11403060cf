#include "support/LinkLeakProbe.hpp"

#include "support/ProgramRun.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/icmp6.h>
#include <netinet/ip_icmp.h>
#include <sched.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace corvantis::testing {

namespace {

constexpr const char* nft = "/usr/sbin/nft";
constexpr const char* captureTable = "corvantis_capture";
// The probes' destinations, which nothing routes or lets out on purpose.
constexpr const char* target4 = "192.0.2.77";
constexpr const char* resolver4 = "192.0.2.99";
constexpr const char* target6 = "2001:db8:77::77";
constexpr const char* resolver6 = "2001:db8:99::99";

// Each probe kind and the nft match that counts it.
const std::vector<std::pair<std::string, std::string>>& probeMatches() {
    static const std::vector<std::pair<std::string, std::string>> matches{
        {"tcp4", std::string("ip daddr ") + target4 + " tcp dport 80"},
        {"udp4", std::string("ip daddr ") + target4 + " udp dport 9"},
        {"icmp4", std::string("ip daddr ") + target4 + " icmp type echo-request"},
        {"dns4", std::string("ip daddr ") + resolver4 + " udp dport 53"},
        {"dhcp4", std::string("ip daddr ") + target4 + " udp dport 67"},
        {"tcp6", std::string("ip6 daddr ") + target6 + " tcp dport 80"},
        {"udp6", std::string("ip6 daddr ") + target6 + " udp dport 9"},
        {"icmp6", std::string("ip6 daddr ") + target6 + " icmpv6 type echo-request"},
        {"dns6", std::string("ip6 daddr ") + resolver6 + " udp dport 53"},
    };
    return matches;
}

sockaddr_storage address(const char* text, std::uint16_t port) {
    sockaddr_storage storage{};
    if (std::string(text).find(':') != std::string::npos) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        ::inet_pton(AF_INET6, text, &v6->sin6_addr);
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        ::inet_pton(AF_INET, text, &v4->sin_addr);
    }
    return storage;
}

socklen_t lengthOf(const sockaddr_storage& storage) {
    return storage.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

// Sends one datagram (or starts one connection) and forgets it: a refusal by the guard (EPERM)
// or a missing route is what the probes are here to meet. A source port, when given, is bound.
void send(int family, int type, int protocol, const char* to, std::uint16_t port, const std::string& payload,
          std::uint16_t sourcePort = 0) {
    const int socket = ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (socket < 0) return;
    if (sourcePort != 0) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        const auto source = address("0.0.0.0", sourcePort);
        ::bind(socket, reinterpret_cast<const sockaddr*>(&source), lengthOf(source));
    }
    const auto destination = address(to, port);
    if (type == SOCK_STREAM) {
        ::connect(socket, reinterpret_cast<const sockaddr*>(&destination), lengthOf(destination));
    } else {
        ::sendto(socket, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
                 lengthOf(destination));
    }
    ::close(socket);
}

std::string echoRequest4(std::uint16_t sequence) {
    icmphdr header{};
    header.type = ICMP_ECHO;
    header.un.echo.id = htons(0xc0de);
    header.un.echo.sequence = htons(sequence);
    std::uint32_t sum = 0;
    const auto* words = reinterpret_cast<const std::uint16_t*>(&header);
    for (std::size_t index = 0; index < sizeof(header) / 2; ++index) sum += words[index];
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    header.checksum = static_cast<std::uint16_t>(~sum);
    return std::string(reinterpret_cast<const char*>(&header), sizeof(header));
}

std::string echoRequest6(std::uint16_t sequence) {
    icmp6_hdr header{};
    header.icmp6_type = ICMP6_ECHO_REQUEST;
    header.icmp6_id = htons(0xc0de);
    header.icmp6_seq = htons(sequence);
    return std::string(reinterpret_cast<const char*>(&header), sizeof(header));  // the kernel adds the checksum
}

// A query for "example.com", type A.
const std::string dnsQuery(
    "\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x07"
    "example\x03"
    "com\x00\x00\x01\x00\x01",
    29);

LinkLeakProbe::Counts difference(const LinkLeakProbe::Counts& after, const LinkLeakProbe::Counts& before) {
    LinkLeakProbe::Counts counts;
    for (const auto& [name, packets] : after) counts[name] = packets - (before.contains(name) ? before.at(name) : 0);
    return counts;
}

}  // namespace

const std::vector<std::string>& LinkLeakProbe::probeKinds() {
    static const std::vector<std::string> kinds = [] {
        std::vector<std::string> names;
        for (const auto& [name, match] : probeMatches()) names.push_back(name);
        return names;
    }();
    return kinds;
}

LinkLeakProbe::LinkLeakProbe(std::string countingNamespace, std::string link, std::string clientNamespace,
                             std::vector<Expected> expected)
    : countingNamespace_(std::move(countingNamespace)),
      link_(std::move(link)),
      clientNamespace_(std::move(clientNamespace)),
      expected_(std::move(expected)) {}

LinkLeakProbe::~LinkLeakProbe() {
    runProgram({"/sbin/ip", {"netns", "exec", countingNamespace_, nft, "delete", "table", "inet", captureTable}, {}});
}

bool LinkLeakProbe::install(std::string& problem) {
    std::string rules = std::string("table inet ") + captureTable + " {\n  counter other {}\n";
    for (const auto& counter : expected_) rules += "  counter " + counter.name + " {}\n";
    for (const auto& kind : probeKinds()) rules += "  counter " + kind + " {}\n";
    rules += "  chain prerouting {\n    type filter hook prerouting priority -300; policy accept;\n    iifname != \"" + link_ +
             "\" accept\n    icmpv6 type { nd-neighbor-solicit, nd-neighbor-advert, nd-router-solicit } accept\n";
    for (const auto& counter : expected_) rules += "    " + counter.match + " counter name " + counter.name + " accept\n";
    for (const auto& [name, match] : probeMatches()) rules += "    " + match + " counter name " + name + " accept\n";
    rules += "    counter name other\n  }\n}\n";
    char pattern[] = "/tmp/corvantis-capture-XXXXXX";
    const int file = ::mkstemp(pattern);
    if (file < 0 || ::write(file, rules.data(), rules.size()) != static_cast<ssize_t>(rules.size())) {
        problem = "cannot write the capture rules";
        return false;
    }
    ::close(file);
    const auto loaded = runProgram({"/sbin/ip", {"netns", "exec", countingNamespace_, nft, "-f", pattern}, {}});
    ::unlink(pattern);
    problem = loaded.standardError;
    return loaded.exit.exitStatus == 0;
}

LinkLeakProbe::Counts LinkLeakProbe::read() const {
    const auto listed = runProgram(
        {"/sbin/ip", {"netns", "exec", countingNamespace_, nft, "list", "counters", "table", "inet", captureTable}, {}});
    Counts counts;
    std::istringstream lines(listed.standardOutput);
    std::string word, name;
    while (lines >> word) {
        if (word == "counter") lines >> name;
        if (word == "packets") lines >> counts[name];
    }
    return counts;
}

LinkLeakProbe::Counts LinkLeakProbe::probeFor(std::chrono::milliseconds duration,
                                              const std::function<bool(const Counts&)>& enough,
                                              const std::function<void()>& alsoEachRound) {
    const auto before = read();
    const auto end = std::chrono::steady_clock::now() + duration;
    Counts crossed;
    while (std::chrono::steady_clock::now() < end) {
        const auto sequence = ++sequence_;
        // From the client's network: a thread of its own joins it and leaves with it.
        std::thread prober([this, sequence] {
            const int space = ::open(("/run/netns/" + clientNamespace_).c_str(), O_RDONLY | O_CLOEXEC);
            if (space < 0 || ::setns(space, CLONE_NEWNET) != 0) return;
            ::close(space);
            for (const char* target : {target4, target6}) {
                const int family = std::string(target).find(':') == std::string::npos ? AF_INET : AF_INET6;
                send(family, SOCK_STREAM, 0, target, 80, "");
                send(family, SOCK_DGRAM, 0, target, 9, "probe");
                if (family == AF_INET)
                    send(family, SOCK_RAW, IPPROTO_ICMP, target, 0, echoRequest4(sequence));
                else
                    send(family, SOCK_RAW, IPPROTO_ICMPV6, target, 0, echoRequest6(sequence));
            }
            send(AF_INET, SOCK_DGRAM, 0, resolver4, 53, dnsQuery);
            send(AF_INET6, SOCK_DGRAM, 0, resolver6, 53, dnsQuery);
            send(AF_INET, SOCK_DGRAM, 0, target4, 67, "dhcp", 68);
        });
        prober.join();
        if (alsoEachRound) alsoEachRound();
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        crossed = difference(read(), before);
        if (enough && enough(crossed)) break;
    }
    return crossed;
}

long LinkLeakProbe::leaks(const Counts& counts) {
    long total = counts.contains("other") ? counts.at("other") : 0;
    for (const auto& kind : probeKinds()) total += counts.contains(kind) ? counts.at(kind) : 0;
    return total;
}

bool LinkLeakProbe::everyKindSeen(const Counts& counts) {
    return std::all_of(probeKinds().begin(), probeKinds().end(),
                       [&](const auto& kind) { return counts.contains(kind) && counts.at(kind) > 0; });
}

std::string LinkLeakProbe::describe(const Counts& counts) {
    std::string text;
    for (const auto& [name, packets] : counts) text += " " + name + "=" + std::to_string(packets);
    return text;
}

std::string LinkLeakProbe::table(const std::vector<std::pair<std::string, Counts>>& steps) {
    std::vector<std::string> columns;
    for (const auto& [step, counts] : steps) {
        for (const auto& [name, packets] : counts) {
            if (std::find(columns.begin(), columns.end(), name) == columns.end()) columns.push_back(name);
        }
    }
    std::size_t width = 4;
    for (const auto& [step, counts] : steps) width = std::max(width, step.size());
    std::ostringstream out;
    out << "Packets crossing the physical link, per step (probes must stay at 0 while the kill switch holds):\n  ";
    out << std::string(width, ' ');
    for (const auto& column : columns) out << " " << std::string(column.size() < 6 ? 6 - column.size() : 0, ' ') << column;
    out << "  leaks\n";
    for (const auto& [step, counts] : steps) {
        out << "  " << step << std::string(width - step.size(), ' ');
        for (const auto& column : columns) {
            const auto value = std::to_string(counts.contains(column) ? counts.at(column) : 0);
            out << " " << std::string(std::max<std::size_t>(column.size(), 6) - value.size(), ' ') << value;
        }
        out << "  " << leaks(counts) << "\n";
    }
    return out.str();
}

}  // namespace corvantis::testing

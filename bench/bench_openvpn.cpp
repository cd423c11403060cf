// Time from runOpenVPN to the helper's "connected" reply, next to openvpn's own time from its
// start to "Initialization Sequence Completed", in the same runs, through the real helper and the
// real openvpn against the testbed's OpenVPN server. Run it inside the sandbox, as root:
//   scripts/sandbox build/bench/bench_openvpn
// The helper is configured to run a wrapper that notes the moment openvpn starts and execs it with
// --machine-readable-output, whose lines carry microsecond timestamps; all times are wall-clock.

#include "platform/foundation/FileSystem.hpp"
#include "testbed/helper/Sandbox.hpp"
#include "testbed/openvpn/HelperTunnel.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>

namespace {

using corvantis::testbed::HelperTunnel;
using corvantis::testbed::OpenVpnTestbed;
namespace FileSystem = platform::foundation::FileSystem;

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The timestamp of the line that holds `marker` in machine-readable output; 0 when none does.
double stampOfLine(const std::string& output, const std::string& marker) {
    const auto at = output.find(marker);
    if (at == std::string::npos) return 0;
    const auto start = output.rfind('\n', at);
    return std::strtod(output.c_str() + (start == std::string::npos ? 0 : start + 1), nullptr);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_OpenVpnConnectedThroughTheHelper(benchmark::State& state) {
    std::signal(SIGPIPE, SIG_IGN);
    if (!corvantis::testbed::inSandbox()) return state.SkipWithError("run it through scripts/sandbox, as root");
    if (auto reason = OpenVpnTestbed::unavailableBecause()) return state.SkipWithError(reason->c_str());
    char pattern[] = "/tmp/corvantis-bench-openvpn-XXXXXX";
    const std::filesystem::path folder = ::mkdtemp(pattern);
    auto testbed = OpenVpnTestbed::up(folder);
    if (!testbed) return state.SkipWithError(testbed.error().message.c_str());
    const auto started = folder / "openvpn-started";
    const auto wrapper = folder / "timed-openvpn";
    if (auto written = FileSystem::writeFileAtomically(
            wrapper,
            "#!/bin/sh\ndate +%s.%N > " + started.string() + "\nexec /usr/sbin/openvpn --machine-readable-output \"$@\"\n", 0755);
        !written) {
        return state.SkipWithError(written.error().message.c_str());
    }
    HelperTunnel tunnel(*testbed.value(), CORVANTIS_HELPER_PROGRAM, folder, wrapper);

    std::vector<double> toReply, toInitialized, added;
    for (auto _ : state) {
        const double called = wallSeconds();
        auto reply = tunnel.connect(testbed.value()->options().password);
        const double replied = wallSeconds();
        if (!reply || reply.value().at(0) != "connected") {
            state.SkipWithError(reply ? reply.value().at(1).c_str() : reply.error().message.c_str());
            break;
        }
        const double openvpnStarted = std::strtod(FileSystem::readFile(started).value().c_str(), nullptr);
        const double initialized = stampOfLine(reply.value().at(1), "Initialization Sequence Completed");
        toReply.push_back((replied - called) * 1000);
        toInitialized.push_back((initialized - openvpnStarted) * 1000);
        added.push_back(toReply.back() - toInitialized.back());
        state.SetIterationTime(replied - called);
        state.PauseTiming();
        if (!tunnel.disconnect(std::chrono::seconds(15))) state.SkipWithError("the run did not end after disconnect");
        state.ResumeTiming();
    }
    state.counters["runOpenVPN_to_connected_p50_ms"] = median(toReply);
    state.counters["openvpn_start_to_ISC_p50_ms"] = median(toInitialized);
    state.counters["helper_adds_p50_ms"] = median(added);
    state.counters["helper_adds_max_ms"] = added.empty() ? 0 : *std::max_element(added.begin(), added.end());
    testbed.value().reset();
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_OpenVpnConnectedThroughTheHelper)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);

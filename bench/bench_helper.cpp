// Round trip of a no-op allowed command through the real helper object over its Unix socket
// (connect, peer credentials, frame, allow-list, spawn of /bin/sh, first reply), next to a raw
// Unix-socket request/reply with frames of the same size. Reports p50 and p95 per call.

#include "HelperService/CorvantisHelper/CorvantisHelper.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "bench/BenchmarkFolder.hpp"
#include "bench/PrivateHelperConfiguration.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/xpc/MessageFrame.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"
#include "platform/xpc/XpcClientConnection.hpp"
#include "platform/xpc/XpcListener.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <future>
#include <sys/socket.h>
#include <thread>

namespace {

using corvantis::bench::benchmarkFolder;

using Clock = std::chrono::steady_clock;

class SilentLog final : public corvantis::helper::HelperLog {
public:
    void notice(const std::string&) override {}
};

void reportPercentiles(benchmark::State& state, std::vector<double>& microseconds) {
    if (microseconds.empty()) return;
    std::sort(microseconds.begin(), microseconds.end());
    const auto at = [&](double share) { return microseconds[static_cast<std::size_t>(share * (microseconds.size() - 1))]; };
    state.counters["p50_us"] = at(0.50);
    state.counters["p95_us"] = at(0.95);
}

nlohmann::json noOpRequest(const std::filesystem::path& resources) {
    return corvantis::helper::HelperWireCodec::encodeCall(
        corvantis::helper::HelperCall::runCommand("sh \"" + resources.string() + "/down.sh\"", true));
}

void BM_HelperNoOpCommandRoundTrip(benchmark::State& state) {
    std::signal(SIGPIPE, SIG_IGN);
    const auto folder = benchmarkFolder();
    const auto resources = folder / "Resources";
    if (auto made = platform::foundation::FileSystem::createDirectories(resources); !made) {
        return state.SkipWithError(made.error().message.c_str());
    }
    if (auto written = platform::foundation::FileSystem::writeFileAtomically(resources / "down.sh", "", 0755); !written) {
        return state.SkipWithError(written.error().message.c_str());
    }
    const auto configuration = corvantis::bench::privateHelperConfiguration(folder);
    if (!configuration) return state.SkipWithError(configuration.error().message.c_str());
    auto helper = std::make_shared<corvantis::helper::CorvantisHelper>(
        corvantis::helper::CorvantisHelper::Dependencies{configuration.value(), std::make_shared<SilentLog>(), {}});
    const auto socket = folder / "helper.sock";
    auto listener = std::move(platform::xpc::XpcListener::listen(socket).value());
    listener->resume(helper);
    const auto request = noOpRequest(resources);

    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto connection = platform::xpc::XpcClientConnection::connect(socket);
        if (!connection || !connection.value().send(request)) state.SkipWithError("cannot reach the helper");
        auto reply = connection.value().receiveFirstReply();
        if (!reply || !reply.value()) state.SkipWithError("no reply");
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    reportPercentiles(state, samples);
    listener->invalidate();
}

void BM_RawUnixSocketRoundTrip(benchmark::State& state) {
    std::signal(SIGPIPE, SIG_IGN);
    const auto folder = benchmarkFolder();
    const auto path = folder / "raw.sock";
    std::filesystem::remove(path);
    const auto address = platform::xpc::unixSocketAddress(path).value();
    platform::foundation::FileDescriptor server(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ::bind(server.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(server.get(), 64);
    const std::string request = noOpRequest(folder / "Resources").dump();
    const std::string reply = nlohmann::json{{"reply", ""}}.dump();
    std::atomic<bool> running{true};
    std::thread echo([&] {
        while (running) {
            platform::foundation::FileDescriptor connection(::accept4(server.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!connection.isOpen()) continue;
            // A reply that cannot be written shows as the client's missing answer.
            if (platform::xpc::readFrame(connection.get())) (void)platform::xpc::writeFrame(connection.get(), reply);
        }
    });

    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        platform::foundation::FileDescriptor client(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ::connect(client.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (!platform::xpc::writeFrame(client.get(), request)) {
            state.SkipWithError("the request could not be sent");
            break;
        }
        auto answer = platform::xpc::readFrame(client.get());
        if (!answer || !answer.value()) state.SkipWithError("no reply");
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    reportPercentiles(state, samples);
    running = false;
    {
        // One last connection, closed at once, lets the echo thread see the stop.
        platform::foundation::FileDescriptor wake(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ::connect(wake.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    echo.join();
}

// The share of the round trip that is process start alone: /bin/sh with an empty script, until
// its output ends.
void BM_SpawnEmptyScript(benchmark::State& state) {
    const auto script = benchmarkFolder() / "empty.sh";
    if (auto written = platform::foundation::FileSystem::writeFileAtomically(script, "", 0755); !written) {
        return state.SkipWithError(written.error().message.c_str());
    }
    auto launcher = platform::foundation::PosixProcessLauncher::shared();
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        std::promise<void> ended;
        auto done = ended.get_future();
        auto launched = launcher->launch({"/bin/sh", {script.string()}, {}},
                                         {[](auto, std::string_view) {}, [&ended](auto) { ended.set_value(); }});
        if (!launched) state.SkipWithError("cannot start /bin/sh");
        done.wait();
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    reportPercentiles(state, samples);
}

}  // namespace

BENCHMARK(BM_SpawnEmptyScript)->Unit(benchmark::kMicrosecond)->Iterations(500);
BENCHMARK(BM_RawUnixSocketRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_HelperNoOpCommandRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(2000);

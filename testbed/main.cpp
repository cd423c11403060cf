// The local stand-in for the service's backend, for the demo and for trying the client by hand.
#include "platform/assembly/application/ApplicationServices.hpp"
#include "testbed/backend/TestBackend.hpp"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

using corvantis::testbed::BackendConfiguration;
using corvantis::testbed::TestBackend;

namespace {
// A whole decimal number within [least, most]; none otherwise.
std::optional<long> numberIn(const std::string& text, long least, long most) {
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || number < least || number > most) return std::nullopt;
    return number;
}

int usage() {
    std::cerr << "usage: corvantis-testbed [--listen ADDRESS] [--port N] [--failure none|maintenance|html|malformed]"
                 " [--servers N [--countries 1-200]]\n";
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    platform::installApplicationServices();
    int port = 0;
    std::string listen = "127.0.0.1";
    TestBackend::FailureMode failure = TestBackend::FailureMode::none;
    std::optional<long> servers;
    std::size_t countries = BackendConfiguration::largestCountryCount;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return usage();
        const std::string value = argv[++i];
        if (option == "--listen") {
            listen = value;
        } else if (option == "--port") {
            const auto number = numberIn(value, 0, 65535);
            if (!number) return usage();
            port = static_cast<int>(*number);
        } else if (option == "--servers") {
            servers = numberIn(value, 0, 100000);
            if (!servers) return usage();
        } else if (option == "--countries") {
            const auto number = numberIn(value, 1, static_cast<long>(BackendConfiguration::largestCountryCount));
            if (!number) return usage();
            countries = static_cast<std::size_t>(*number);
        } else if (option == "--failure") {
            const auto mode = TestBackend::failureModeNamed(value);
            if (!mode) return usage();
            failure = *mode;
        } else {
            return usage();
        }
    }

    // Block the stop signals before any thread starts, then wait for one of them here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    TestBackend backend(servers ? BackendConfiguration::withCatalogue(static_cast<std::size_t>(*servers), countries)
                                : BackendConfiguration::demo());
    backend.setFailureMode(failure);
    if (auto started = backend.start(port, TestBackend::Transport::http, listen); !started) {
        std::cerr << "corvantis-testbed: " << started.error().message << "\n";
        return 1;
    }
    std::cout << "corvantis-testbed: backend listening on " << backend.url() << std::endl;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    backend.stop();
    return 0;
}

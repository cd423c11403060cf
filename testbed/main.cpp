// The local stand-in for the service's backend, for the demo and for trying the client by hand.
#include "testbed/backend/TestBackend.hpp"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

using corvantis::testbed::TestBackend;

namespace {
int usage() {
    std::cerr << "usage: corvantis-testbed [--port N] [--failure none|maintenance|html|malformed]\n";
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    TestBackend::FailureMode failure = TestBackend::FailureMode::none;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return usage();
        const std::string value = argv[++i];
        if (option == "--port") {
            char* end = nullptr;
            const long number = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || number < 0 || number > 65535) return usage();
            port = static_cast<int>(number);
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

    TestBackend backend;
    backend.setFailureMode(failure);
    if (auto started = backend.start(port); !started) {
        std::cerr << "corvantis-testbed: " << started.error().message << "\n";
        return 1;
    }
    std::cout << "corvantis-testbed: backend listening on " << backend.url() << std::endl;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    backend.stop();
    return 0;
}

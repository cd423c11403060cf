// corvantis-render SCENE STATE OUTPUT.png [--scale FACTOR] | --list
//
// Draws a screen of the application in a named state into a PNG file without a display. It runs
// in a world of its own: a private home and configuration folder, a backend address nobody
// answers on, and a clock of its own that it moves on until the screen's animations have ended.

#include "platform/Services.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/VirtualClock.hpp"
#include "platform/render/DrawingSetup.hpp"
#include "platform/render/OffscreenRenderer.hpp"
#include "tools/render/SceneCatalog.hpp"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usage() {
    std::cerr << "usage: corvantis-render SCENE STATE OUTPUT.png [--scale FACTOR]\n"
                 "       corvantis-render --list\n";
    return 2;
}

// Keeps the user's own settings, keychain and the network out of reach.
std::filesystem::path privateWorld() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvantis-render-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return {};
    const std::filesystem::path home(pattern);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    ::setenv("TMPDIR", home.c_str(), 1);
    ::setenv("CORVANTIS_API_URL", "https://127.0.0.1:9", 1);
    ::setenv("CORVANTIS_HELPER_SOCKET", (home / "helper.sock").c_str(), 1);
    return home;
}

}  // namespace

int main(int argc, char** argv) {
    platform::installApplicationServices();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    corvantis::tools::SceneCatalog catalog;
    if (arguments.size() == 1 && arguments[0] == "--list") {
        for (const auto& [name, scene] : catalog.scenes()) {
            for (const auto& [state, change] : scene.states) std::cout << name << ' ' << state << '\n';
        }
        return 0;
    }
    if (arguments.size() != 3 && arguments.size() != 5) return usage();
    double scale = 1;
    if (arguments.size() == 5) {
        if (arguments[3] != "--scale") return usage();
        char* end = nullptr;
        scale = std::strtod(arguments[4].c_str(), &end);
        if (*end != '\0' || !(scale >= 0.5 && scale <= 4)) {
            std::cerr << "corvantis-render: the scale must be a number from 0.5 to 4\n";
            return 2;
        }
    }
    const auto home = privateWorld();
    if (home.empty()) {
        std::cerr << "corvantis-render: cannot make a private folder\n";
        return 1;
    }

    auto clock = std::make_shared<platform::dispatch::VirtualClock>();
    auto mainQueue = platform::dispatch::MainQueue::make();
    clock->setDrainHook([queue = mainQueue.get()] { queue->drain(); });
    platform::Services services;
    services.clockOverride = clock;
    services.mainQueueOverride = mainQueue;
    int status = 0;
    {
        platform::ScopedServices scope(std::move(services));
        platform::render::DrawingSetup::install(scale);
        std::string error;
        const auto window = catalog.build(arguments[0], arguments[1], error);
        if (!window) {
            std::cerr << "corvantis-render: " << error << '\n';
            status = 2;
        } else {
            clock->advance(std::chrono::seconds(5));
            const auto written = platform::render::OffscreenRenderer(scale).writePng(*window, arguments[2]);
            if (!written) {
                std::cerr << "corvantis-render: " << written.error().message << '\n';
                status = 1;
            }
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return status;
}

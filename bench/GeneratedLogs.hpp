#pragma once

#include <cstdint>
#include <ctime>
#include <random>
#include <string>

namespace corvantis::bench {

// Log lines in the application's own shape, with enough variety that deflate has real work; the
// same text for the same generator state.
inline std::string generatedLogText(std::mt19937& random, std::size_t size) {
    static const char* levels[] = {"Verbose", "Debug", "Info", "Notice", "Warning", "Error"};
    static const char* places[] = {"ConnectView.swift:212 connect()", "ApiService.swift:88 login(email:password:)",
                                   "RouteControl.swift:41 removeDefaultRoute(completion:)", "HelperClient.swift:130 runOpenVPN()",
                                   "Reachability.swift:57 changed(_:)"};
    static const char* words[] = {"tunnel", "server", "reply",     "address", "gateway", "timeout", "profile", "device",
                                  "route",  "status", "connected", "retry",   "public",  "check",   "helper",  "queue"};
    std::string text;
    text.reserve(size + 256);
    std::uint64_t millis = 1767225600000;
    while (text.size() < size) {
        millis += random() % 2000;
        const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &utc);
        text += stamp;
        text += "." + std::to_string(1000 + millis % 1000).substr(1) + " [" + levels[random() % 6] + "] [main] " +
                places[random() % 5] + " >";
        for (unsigned word = 0, count = 4 + random() % 10; word < count; ++word) text += std::string(" ") + words[random() % 16];
        text += " id=" + std::to_string(random() % 100000) + "\n";
    }
    text.resize(size);
    return text;
}

}  // namespace corvantis::bench

#pragma once

#include "platform/foundation/Expected.hpp"

#include <functional>
#include <string>

namespace corvantis {

// The first public-address service: answers {"ip": "<address>"}.
class Ipify {
public:
    static constexpr const char* builtInUrl = "https://api.ipify.org?format=json";

    // The built-in URL, or `CORVANTIS_IPIFY_URL` when set.
    static std::string url();

    // The computer's public address, or why there is none. `completion` runs once, on a queue
    // of the URL session.
    static void getPublicIPAddress(std::function<void(platform::foundation::Expected<std::string>)> completion);
};

}  // namespace corvantis

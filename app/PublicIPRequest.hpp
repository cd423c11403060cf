#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/URLSession.hpp"

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace corvantis {

// One question to a public-address service: a GET whose reply is a JSON object. The limits are
// short because a connection attempt waits on the answer: a service that does not answer must
// count as a failed lookup soon, not after the session's minute.
class PublicIPRequest {
public:
    // Longest wait for the connection, and for any silence after it.
    static constexpr std::chrono::seconds connectTimeout{5};
    // Longest time the whole lookup may take.
    static constexpr std::chrono::seconds totalTimeout{10};
    // Largest reply taken: an address service's answer is a few hundred bytes.
    static constexpr std::size_t maximumReplySize = 64 * 1024;

    using Completion = std::function<void(platform::foundation::Expected<nlohmann::json>)>;

    // Sends the request at once. `completion` gets the reply's JSON object, or what went wrong:
    // the transfer, an HTTP status outside 200-299, or a body that is no JSON object. It runs
    // once, on a queue of the URL session.
    static std::shared_ptr<platform::foundation::URLSessionDataTask> get(std::string url, Completion completion);

    // The value of the environment variable `variable` when it is set and not empty, else `builtIn`.
    static std::string configuredUrl(const char* variable, std::string_view builtIn);

    // Whether `text` is an IPv4 or IPv6 address in its usual text form.
    static bool isAddress(const std::string& text);
};

}  // namespace corvantis

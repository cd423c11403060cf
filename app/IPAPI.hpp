#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/URLSession.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::IPAPI {

// What the fallback public-address service tells about an address. Only the keys asked for are
// filled in.
struct Result {
    enum class Key { status, message, country, countryCode, ipAddress, city, timezone, isp };
    // The service's name for a key; a dot names a member of a nested object ("connection.isp").
    static std::string_view rawValue(Key key);

    // "success" or "fail", from the service's Boolean.
    std::optional<std::string> status;
    std::optional<std::string> message;
    std::optional<std::string> country;
    std::optional<std::string> countryCode;
    // The address looked up (the caller's own when no query was given).
    std::optional<std::string> ipAddress;
    std::optional<std::string> city;
    std::optional<std::string> timezone;
    std::optional<std::string> isp;
};

// The fallback public-address service, ipwho.is: free over HTTPS without an account (about one
// request a second). GET <base><query>?fields=<keys>&lang=<language>, answered with one JSON
// object of those keys, or {"success": false, "message": …} when it has no answer.
class Service {
public:
    static constexpr const char* builtInUrl = "https://ipwho.is/";
    static constexpr const char* defaultLanguage = "en";

    // The one service object ("default").
    static Service& defaultService();
    // The built-in base URL, or `CORVANTIS_IPAPI_URL` when set.
    static std::string url();

    using Completion = std::function<void(std::optional<Result>, std::optional<platform::foundation::Error>)>;

    // Looks `query` up (the caller's own address when none), asking for `fields` (every key
    // when empty). `completion` runs once, on a queue of the URL session, with a result or an
    // error; a reply that says it failed, or that lacks an address asked for, is an error.
    std::shared_ptr<platform::foundation::URLSessionDataTask> fetch(const std::optional<std::string>& query,
                                                                    const std::vector<Result::Key>& fields,
                                                                    const std::string& language, Completion completion);
};

}  // namespace corvantis::IPAPI

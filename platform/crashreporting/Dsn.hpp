#pragma once

#include "platform/foundation/Expected.hpp"

#include <string>
#include <string_view>

namespace platform::crashreporting {

// Where the crash-reporting service takes a project's events, read from its DSN
// "<scheme>://<public key>@<host>[:<port>][/<path>]/<project id>".
struct Dsn {
    std::string publicKey;
    std::string projectId;
    // "<scheme>://<host>[:<port>][/<path>]/api/<project id>/store/".
    std::string storeUrl;

    // Fails with a message naming what is wrong; only http and https are accepted.
    static foundation::Expected<Dsn> parse(std::string_view text);
};

}  // namespace platform::crashreporting

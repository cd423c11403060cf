#pragma once

#include "testbed/backend/FormBody.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvantis::testbed {

// One request as the test backend received it, bytes and all.
struct RecordedRequest {
    std::string method;
    std::string path;    // without the query
    std::string target;  // path and query as sent
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // The address the request came from, as the backend saw it.
    std::string remoteAddress;
    // The decoded form fields of a multipart or URL-encoded body.
    FormFields form;

    // A header's value (names compare in any letter case); none when it was not sent.
    std::optional<std::string> header(std::string_view name) const;
};

}  // namespace corvantis::testbed

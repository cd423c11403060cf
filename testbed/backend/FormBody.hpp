#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvantis::testbed {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// Reads request bodies the way the service's backend does, strictly enough that a client that
// encodes them wrongly is noticed.
namespace FormBody {

// "multipart/form-data; boundary=…": the fields in body order; none when the body does not
// follow the boundary lines and part headers exactly.
std::optional<FormFields> parseMultipart(std::string_view contentType, std::string_view body);
// "application/x-www-form-urlencoded": "name=value" pairs joined by "&", percent-decoded
// ("+" is a blank); none for a pair without "=" or a broken escape.
std::optional<FormFields> parseUrlEncoded(std::string_view body);

// The value of the first field named `name`.
std::optional<std::string> value(const FormFields& fields, std::string_view name);

}  // namespace FormBody

}  // namespace corvantis::testbed

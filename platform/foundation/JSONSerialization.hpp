#pragma once

#include "platform/foundation/Expected.hpp"

#include <nlohmann/json.hpp>

#include <string_view>

namespace platform::foundation::JSONSerialization {

// The one description every parse failure carries, whatever the bytes were: it never repeats
// any of the input (which may be a whole HTML page) and holds no markup.
inline constexpr const char* readFailureDescription = "The data couldn’t be read because it isn’t in the correct format.";
inline constexpr int readFailureCode = 3840;

// Parses UTF-8 JSON text; a top-level text, number, Boolean or null is accepted as well as an
// object or an array. Empty input, trailing garbage and invalid UTF-8 fail.
Expected<nlohmann::json> jsonObject(std::string_view data);

}  // namespace platform::foundation::JSONSerialization

#pragma once

#include <string>
#include <string_view>

namespace corvantis::helper {

// A text from a client made safe for one log line: control characters and bytes outside ASCII
// as \xNN escapes, cut after `limit` bytes.
std::string printableForLog(std::string_view text, std::size_t limit = 240);

}  // namespace corvantis::helper

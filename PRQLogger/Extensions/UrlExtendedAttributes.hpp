#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/Url.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace prq {

// Extended attributes of the file a URL names (symbolic links are followed). Values are byte
// buffers. Failures carry the system's error number and its `strerror` text; a URL that names no
// file fails as the system does for a missing path.

// The value, or none when it cannot be found; the read itself may fail.
platform::foundation::Expected<std::optional<std::string>> extendedAttribute(const platform::foundation::Url& url,
                                                                             std::string_view name);
platform::foundation::Expected<void> setExtendedAttribute(const platform::foundation::Url& url, std::string_view data,
                                                          std::string_view name);
platform::foundation::Expected<void> removeExtendedAttribute(const platform::foundation::Url& url, std::string_view name);
platform::foundation::Expected<std::vector<std::string>> listExtendedAttributes(const platform::foundation::Url& url);

}  // namespace prq

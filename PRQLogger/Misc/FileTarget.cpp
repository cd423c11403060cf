#include "PRQLogger/Misc/FileTarget.hpp"

namespace prq {

std::optional<platform::foundation::Url> FileTarget::fileUrl() const {
    if (const auto* path = std::get_if<std::string>(&target_)) return platform::foundation::Url::fileUrl(*path);
    if (const auto* url = std::get_if<platform::foundation::Url>(&target_); url && url->isFileUrl()) return *url;
    return std::nullopt;
}

}  // namespace prq

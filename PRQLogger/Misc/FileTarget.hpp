#pragma once

#include "platform/foundation/Url.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace prq {

// Where a file destination writes or archives: a path text or a URL. Only a path or a file URL
// names a file; a URL of another kind names none.
class FileTarget {
public:
    FileTarget() = default;
    FileTarget(const char* path) : target_(std::string(path)) {}
    FileTarget(std::string path) : target_(std::move(path)) {}
    FileTarget(std::string_view path) : target_(std::string(path)) {}
    FileTarget(const std::filesystem::path& path) : target_(path.string()) {}
    FileTarget(platform::foundation::Url url) : target_(std::move(url)) {}

    // A path becomes a file URL as it stands ("~" stays, a relative path is taken from the
    // current folder); a file URL is used unchanged.
    std::optional<platform::foundation::Url> fileUrl() const;

private:
    std::variant<std::monostate, std::string, platform::foundation::Url> target_;
};

}  // namespace prq

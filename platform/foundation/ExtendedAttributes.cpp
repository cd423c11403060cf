#include "platform/foundation/ExtendedAttributes.hpp"

#include "platform/foundation/Utf8.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <sys/xattr.h>

namespace platform::foundation::ExtendedAttributes {

namespace {
constexpr std::string_view userNamespace = "user.";
constexpr std::array<std::string_view, 4> systemNamespaces = {"user.", "trusted.", "security.", "system."};

bool hasSystemNamespace(std::string_view name) {
    for (const auto prefix : systemNamespaces) {
        if (name.starts_with(prefix)) return true;
    }
    return false;
}

// The caller's name for a listed one: "user.x" is "x" unless "x" would itself map elsewhere.
std::string callerName(std::string_view listed) {
    if (listed.starts_with(userNamespace)) {
        const auto bare = listed.substr(userNamespace.size());
        if (!bare.empty() && !hasSystemNamespace(bare)) return std::string(bare);
    }
    return std::string(listed);
}

Error lastError() {
    const int code = errno;
    return Error{code, std::strerror(code)};
}
}  // namespace

std::string systemName(std::string_view name) {
    if (hasSystemNamespace(name)) return std::string(name);
    return std::string(userNamespace) + std::string(name);
}

Expected<std::optional<std::string>> get(const std::filesystem::path& path, std::string_view name) {
    const std::string attribute = systemName(name);
    const ssize_t size = ::getxattr(path.c_str(), attribute.c_str(), nullptr, 0);
    if (size < 0) return std::optional<std::string>();
    std::string value(static_cast<std::size_t>(size), '\0');
    const ssize_t read = ::getxattr(path.c_str(), attribute.c_str(), value.data(), value.size());
    if (read < 0) return lastError();
    value.resize(static_cast<std::size_t>(read));
    return std::optional<std::string>(std::move(value));
}

Expected<void> set(const std::filesystem::path& path, std::string_view name, std::string_view value) {
    const std::string attribute = systemName(name);
    if (::setxattr(path.c_str(), attribute.c_str(), value.data(), value.size(), 0) != 0) return lastError();
    return {};
}

Expected<void> remove(const std::filesystem::path& path, std::string_view name) {
    if (::removexattr(path.c_str(), systemName(name).c_str()) != 0) return lastError();
    return {};
}

Expected<std::vector<std::string>> list(const std::filesystem::path& path) {
    const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
    if (size < 0) return lastError();
    std::string buffer(static_cast<std::size_t>(size), '\0');
    const ssize_t filled = ::listxattr(path.c_str(), buffer.data(), buffer.size());
    if (filled < 0) return lastError();
    buffer.resize(static_cast<std::size_t>(filled));

    std::vector<std::string> names;
    std::string_view rest(buffer);
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        const auto piece = rest.substr(0, end);
        if (!piece.empty() && isValidUtf8(piece)) names.push_back(callerName(piece));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return names;
}

}  // namespace platform::foundation::ExtendedAttributes

#include "platform/foundation/Url.hpp"

#include <cctype>
#include <charconv>
#include <filesystem>

namespace platform::foundation {

namespace {
bool isUnreserved(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

// The characters a path may carry as they are (RFC 3986 pchar plus "/").
bool isPathAllowed(unsigned char c) {
    if (c >= 0x80) return false;
    return isUnreserved(c) || std::string_view("!$&'()*+,;=:@/").find(static_cast<char>(c)) != std::string_view::npos;
}

bool isUrlCharacter(unsigned char c) {
    return c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\' && c != '^' && c != '`' && c != '{' &&
           c != '|' && c != '}';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view trimmedPath(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}
}  // namespace

std::string Url::encodePath(std::string_view path) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (isPathAllowed(c)) {
            encoded.push_back(ch);
        } else {
            encoded.push_back('%');
            encoded.push_back(digits[c >> 4]);
            encoded.push_back(digits[c & 0xF]);
        }
    }
    return encoded;
}

bool Url::isUnencodedText(std::string_view text) {
    for (const char c : text) {
        if (!isUrlCharacter(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string Url::percentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            decoded.push_back(text[i]);
        }
    }
    return decoded;
}

Url::Url(Parts parts) {
    text_ = parts.scheme + ":";
    if (parts.authority) text_ += "//" + *parts.authority;
    text_ += parts.path;
    if (parts.query) text_ += "?" + *parts.query;
    if (parts.fragment) text_ += "#" + *parts.fragment;
}

std::optional<Url> Url::fromString(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    if (!std::isalpha(static_cast<unsigned char>(text[0]))) return std::nullopt;
    for (std::size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!isUrlCharacter(c)) return std::nullopt;
        if (c == '%' && (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0)) {
            return std::nullopt;
        }
    }
    Url url(Parts{});
    url.text_ = std::string(text);
    return url;
}

Url Url::fileUrl(std::string_view path, bool isDirectory) {
    std::filesystem::path absolute(path);
    if (absolute.is_relative()) absolute = std::filesystem::current_path() / absolute;
    std::string text = absolute.lexically_normal().string();
    if (isDirectory && (text.empty() || text.back() != '/')) text.push_back('/');
    if (!isDirectory) text = std::string(trimmedPath(text));
    return Url(Parts{"file", std::string(), encodePath(text), std::nullopt, std::nullopt});
}

Url::Parts Url::parts() const {
    Parts result;
    std::string_view rest(text_);
    const auto colon = rest.find(':');
    result.scheme = std::string(rest.substr(0, colon));
    rest.remove_prefix(colon + 1);
    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        result.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (const auto question = rest.find('?'); question != std::string_view::npos) {
        result.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        result.authority = std::string(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    result.path = std::string(rest);
    return result;
}

std::string Url::scheme() const {
    std::string scheme = parts().scheme;
    for (auto& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme;
}

bool Url::isFileUrl() const {
    return scheme() == "file";
}

std::optional<std::string> Url::host() const {
    auto authority = parts().authority;
    if (!authority) return std::nullopt;
    std::string_view hostPort(*authority);
    if (const auto at = hostPort.rfind('@'); at != std::string_view::npos) hostPort.remove_prefix(at + 1);
    if (hostPort.starts_with('[')) {
        const auto close = hostPort.find(']');
        return std::string(hostPort.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    }
    return percentDecode(hostPort.substr(0, hostPort.find(':')));
}

std::optional<int> Url::port() const {
    auto authority = parts().authority;
    if (!authority) return std::nullopt;
    std::string_view hostPort(*authority);
    const auto close = hostPort.rfind(']');
    const auto colon = hostPort.rfind(':');
    if (colon == std::string_view::npos || (close != std::string_view::npos && colon < close)) return std::nullopt;
    int port = 0;
    const auto digits = hostPort.substr(colon + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return port;
}

std::optional<std::string> Url::query() const {
    return parts().query;
}

std::string Url::path() const {
    return percentDecode(trimmedPath(parts().path));
}

bool Url::hasDirectoryPath() const {
    const auto path = parts().path;
    return !path.empty() && path.back() == '/';
}

std::vector<std::string> Url::pathComponents() const {
    std::vector<std::string> components;
    const std::string decoded = path();
    if (decoded.starts_with('/')) components.emplace_back("/");
    std::size_t start = 0;
    while (start < decoded.size()) {
        auto end = decoded.find('/', start);
        if (end == std::string::npos) end = decoded.size();
        if (end > start) components.push_back(decoded.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

std::string Url::lastPathComponent() const {
    const auto components = pathComponents();
    return components.empty() ? std::string() : components.back();
}

std::string Url::pathExtension() const {
    const std::string last = lastPathComponent();
    const auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return {};
    return last.substr(dot + 1);
}

Url Url::withEncodedPath(std::string encodedPath) const {
    Parts changed = parts();
    changed.path = std::move(encodedPath);
    return Url(std::move(changed));
}

Url Url::appendingPathComponent(std::string_view component, bool isDirectory) const {
    std::string path = parts().path;
    if (path.empty() || path.back() != '/') path.push_back('/');
    while (component.starts_with('/')) component.remove_prefix(1);
    path += encodePath(component);
    if (isDirectory && path.back() != '/') path.push_back('/');
    return withEncodedPath(std::move(path));
}

Url Url::appendingPathExtension(std::string_view extension) const {
    std::string path(trimmedPath(parts().path));
    const bool directory = hasDirectoryPath();
    path += "." + encodePath(extension);
    if (directory) path.push_back('/');
    return withEncodedPath(std::move(path));
}

Url Url::deletingLastPathComponent() const {
    std::string path(trimmedPath(parts().path));
    const auto slash = path.rfind('/');
    path = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    if (path.empty()) path = "/";
    return withEncodedPath(std::move(path));
}

Url Url::deletingPathExtension() const {
    const std::string extension = pathExtension();
    if (extension.empty()) return *this;
    std::string path(trimmedPath(parts().path));
    const bool directory = hasDirectoryPath();
    path.resize(path.size() - encodePath(extension).size() - 1);
    if (directory) path.push_back('/');
    return withEncodedPath(std::move(path));
}

}  // namespace platform::foundation

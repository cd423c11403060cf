#include "platform/servicemanagement/JobConfiguration.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

namespace platform::servicemanagement {

namespace FileSystem = platform::foundation::FileSystem;
using foundation::Error;
using foundation::Expected;

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A line's key and value, without its comment; none for a line without "=".
std::optional<std::pair<std::string_view, std::string_view>> keyAndValue(std::string_view line) {
    line = line.substr(0, line.find('#'));
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return std::pair(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return lines;
}

Expected<void> checkPath(std::string_view key, const std::filesystem::path& path) {
    const std::string text = path.string();
    const bool holdable = std::ranges::none_of(text, [](char c) { return c == '#' || static_cast<unsigned char>(c) < 0x20; }) &&
                          trimmed(text) == text;
    if (path.is_absolute() && holdable) return {};
    return Error{EINVAL, std::string(key) + " must be an absolute path on one line, without '#' or blanks at either end: \"" +
                             text + "\""};
}

}  // namespace

Expected<uid_t> JobConfiguration::userId(std::string_view text) {
    uid_t user = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), user);
    if (text.empty() || problem != std::errc{} || end != text.data() + text.size()) {
        return Error{EINVAL, "\"" + std::string(text) + "\" is not a user id"};
    }
    if (user == static_cast<uid_t>(-1)) {
        return Error{EINVAL, "\"" + std::string(text) + "\" is not a user id: it is (uid_t)-1, which stands for no user"};
    }
    return user;
}

Expected<std::set<uid_t>> JobConfiguration::userIds(std::string_view list) {
    std::set<uid_t> users;
    while (!list.empty()) {
        const auto end = std::min(list.find_first_of(", \t\r"), list.size());
        if (end > 0) {
            auto user = userId(list.substr(0, end));
            if (!user) return user.error();
            users.insert(user.value());
        }
        list.remove_prefix(std::min(end + 1, list.size()));
    }
    return users;
}

Expected<JobConfiguration> JobConfiguration::read(const std::filesystem::path& path) {
    if (!FileSystem::fileExists(path)) return JobConfiguration();
    auto content = FileSystem::readFile(path);
    if (!content) return content.error();
    return JobConfiguration(std::move(content.value()));
}

std::set<uid_t> JobConfiguration::allowedUsers() const {
    std::set<uid_t> users;
    for (const auto line : linesOf(text_)) {
        const auto entry = keyAndValue(line);
        if (!entry || entry->first != allowUidKey) continue;
        if (auto listed = userIds(entry->second)) users.merge(listed.value());
    }
    return users;
}

Expected<void> JobConfiguration::serve(const Client& client) {
    if (auto checked = checkPath(bundleResourcesKey, client.bundleResources); !checked) return checked;
    if (auto checked = checkPath(applicationExecutableKey, client.applicationExecutable); !checked) return checked;
    std::string kept;
    for (const auto line : linesOf(text_)) {
        const auto entry = keyAndValue(line);
        if (entry && (entry->first == bundleResourcesKey || entry->first == applicationExecutableKey)) continue;
        kept.append(line).append("\n");
    }
    if (client.user && !allowedUsers().contains(*client.user)) {
        kept += std::string(allowUidKey) + " = " + std::to_string(*client.user) + "\n";
    }
    kept += std::string(bundleResourcesKey) + " = " + client.bundleResources.string() + "\n";
    kept += std::string(applicationExecutableKey) + " = " + client.applicationExecutable.string() + "\n";
    text_ = std::move(kept);
    return {};
}

Expected<void> JobConfiguration::write(const std::filesystem::path& path) const {
    if (auto folder = FileSystem::createDirectories(path.parent_path(), 0755); !folder) return folder;
    return FileSystem::writeFileAtomically(path, text_, 0644);
}

}  // namespace platform::servicemanagement

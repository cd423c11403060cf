#include "platform/security/KeychainFile.hpp"

#include <nlohmann/json.hpp>

namespace platform::security {

using foundation::Error;
using foundation::Expected;

namespace {
constexpr int formatVersion = 1;
}

Expected<nlohmann::json> KeychainFile::readItems() const {
    auto document = file_.read();
    if (!document) return document.error();
    if (!document.value()) return nlohmann::json::array();
    const auto& content = *document.value();
    if (!content.is_object() || content.value("version", 0) != formatVersion || !content.contains("items") ||
        !content["items"].is_array()) {
        return Error{EINVAL, path().string() + " is not a keychain this system can read"};
    }
    return content["items"];
}

Expected<void> KeychainFile::writeItems(const nlohmann::json& items) const {
    return file_.write({{"version", formatVersion}, {"items", items}});
}

}  // namespace platform::security

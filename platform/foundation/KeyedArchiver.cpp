#include "platform/foundation/KeyedArchiver.hpp"

#include <nlohmann/json.hpp>

namespace platform::foundation::KeyedArchiver {

namespace {
constexpr const char* archiverKey = "$archiver";
constexpr const char* archiverName = "NSKeyedArchiver";
constexpr const char* topKey = "$top";
constexpr const char* rootKey = "root";
}  // namespace

std::string archivedData(const nlohmann::json& rootObject) {
    const nlohmann::json archive{{archiverKey, archiverName}, {topKey, {{rootKey, rootObject}}}};
    return archive.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<nlohmann::json> unarchiveObject(std::string_view data) {
    const auto archive = nlohmann::json::parse(data, nullptr, false);
    if (!archive.is_object() || archive.value(archiverKey, "") != archiverName) return std::nullopt;
    const auto top = archive.find(topKey);
    if (top == archive.end() || !top->is_object() || !top->contains(rootKey)) return std::nullopt;
    return (*top)[rootKey];
}

}  // namespace platform::foundation::KeyedArchiver

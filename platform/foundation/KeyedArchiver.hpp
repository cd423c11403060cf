#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace platform::foundation {

// Archives an object graph (held as a JSON value) into self-describing bytes and back.
namespace KeyedArchiver {

std::string archivedData(const nlohmann::json& rootObject);
// The root object of an archive; none for bytes that are not one.
std::optional<nlohmann::json> unarchiveObject(std::string_view data);

}  // namespace KeyedArchiver

}  // namespace platform::foundation

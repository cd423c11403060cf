#include "platform/foundation/JSONSerialization.hpp"

namespace platform::foundation::JSONSerialization {

Expected<nlohmann::json> jsonObject(std::string_view data) {
    auto parsed = nlohmann::json::parse(data, nullptr, false);
    if (parsed.is_discarded()) return Error{readFailureCode, readFailureDescription};
    return parsed;
}

}  // namespace platform::foundation::JSONSerialization

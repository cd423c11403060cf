#include "app/ApiRequestInfo.hpp"

#include "platform/foundation/Utf8.hpp"

#include <nlohmann/json.hpp>

namespace corvantis {

void ApiRequestInfo::set(const std::string& key, const std::string& value) {
    values_[key] = platform::foundation::isValidUtf8(value) ? value : std::string();
}

void ApiRequestInfo::setRendering(const std::string& key, const nlohmann::json& value) {
    values_[key] = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json ApiRequestInfo::context() const {
    return nlohmann::json(values_);
}

}  // namespace corvantis

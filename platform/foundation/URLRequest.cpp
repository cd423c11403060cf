#include "platform/foundation/URLRequest.hpp"

#include "platform/foundation/HTTPURLResponse.hpp"

namespace platform::foundation {

void URLRequest::setValue(std::string value, std::string_view field) {
    for (auto& [name, existing] : headers_) {
        if (HTTPURLResponse::sameFieldName(name, field)) {
            existing = std::move(value);
            return;
        }
    }
    headers_.emplace_back(std::string(field), std::move(value));
}

std::optional<std::string> URLRequest::value(std::string_view field) const {
    for (const auto& [name, existing] : headers_) {
        if (HTTPURLResponse::sameFieldName(name, field)) return existing;
    }
    return std::nullopt;
}

}  // namespace platform::foundation

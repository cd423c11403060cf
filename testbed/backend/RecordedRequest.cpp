#include "testbed/backend/RecordedRequest.hpp"

#include "platform/foundation/HTTPURLResponse.hpp"

namespace corvantis::testbed {

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    for (const auto& [field, value] : headers) {
        if (platform::foundation::HTTPURLResponse::sameFieldName(field, name)) return value;
    }
    return std::nullopt;
}

}  // namespace corvantis::testbed

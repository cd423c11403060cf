#include "PRQLogger/LogFormatters/Base64LogFormatter.hpp"

#include "PRQLogger/Misc/TypeName.hpp"
#include "platform/foundation/Base64.hpp"
#include "platform/foundation/Utf8.hpp"

namespace prq {

std::string Base64LogFormatter::format(LogDetails&, std::string& message) {
    if (platform::foundation::isValidUtf8(message)) message = platform::foundation::Base64::encode(message);
    return message;
}

std::string Base64LogFormatter::debugDescription() const {
    return extractTypeName(*this);
}

}  // namespace prq

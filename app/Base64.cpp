#include "app/Base64.hpp"

#include "platform/foundation/Base64.hpp"

namespace corvantis {

std::string Base64::encode(std::string_view bytes) {
    return platform::foundation::Base64::encode(bytes);
}

}  // namespace corvantis

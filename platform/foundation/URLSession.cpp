#include "platform/foundation/URLSession.hpp"

#include "platform/Services.hpp"

namespace platform::foundation {

std::shared_ptr<URLSession> URLSession::shared() {
    return Services::current().urlSession();
}

}  // namespace platform::foundation

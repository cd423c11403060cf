#include "HelperService/CorvantisHelper/CommandReply.hpp"

#include "platform/foundation/Utf8.hpp"

namespace corvantis::helper {

void CommandReply::sendOutput(std::string_view bytes) {
    sent_ = true;
    if (!reply_) return;
    if (platform::foundation::isValidUtf8(bytes)) {
        reply_(std::string(bytes));
    } else {
        reply_(std::nullopt);
    }
}

void CommandReply::finish() {
    if (!sent_.exchange(true) && reply_) reply_(std::string());
}

}  // namespace corvantis::helper

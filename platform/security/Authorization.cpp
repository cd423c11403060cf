#include "platform/security/Authorization.hpp"

#include <unistd.h>

namespace platform::security {

std::shared_ptr<Authorization> Authorization::create() {
    return std::make_shared<Authorization>();
}

OSStatus Authorization::copyRights(const std::vector<std::string>&, unsigned flags) const {
    if (::geteuid() == 0) return errAuthorizationSuccess;
    if ((flags & kAuthorizationFlagInteractionAllowed) == 0) return errAuthorizationInteractionNotAllowed;
    if (::access(pkexecProgram, X_OK) != 0) return errAuthorizationDenied;
    return errAuthorizationSuccess;
}

std::vector<std::string> Authorization::elevationPrefix() const {
    if (::geteuid() == 0) return {};
    return {pkexecProgram};
}

OSStatus Authorization::statusOfElevatedExit(int exitStatus) const {
    if (elevationPrefix().empty()) return errAuthorizationSuccess;
    if (exitStatus == 126) return errAuthorizationCanceled;
    if (exitStatus == 127) return errAuthorizationDenied;
    return errAuthorizationSuccess;
}

}  // namespace platform::security

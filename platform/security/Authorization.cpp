#include "platform/security/Authorization.hpp"

#include <string>
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

foundation::DomainError Authorization::errorFor(OSStatus status) const {
    auto error = foundation::osStatusError(status);
    switch (status) {
        case errAuthorizationDenied:
            error.localizedDescription =
                ::access(pkexecProgram, X_OK) != 0
                    ? std::string("polkit's pkexec (") + pkexecProgram +
                          ", Debian's package \"pkexec\") is not installed, so nothing can be run as root"
                    : "pkexec refused the authorization to run as root";
            break;
        case errAuthorizationCanceled: error.localizedDescription = "The password prompt (pkexec) was dismissed"; break;
        case errAuthorizationInteractionNotAllowed:
            error.localizedDescription = "Running as root needs a password prompt, which was not allowed";
            break;
        default: break;
    }
    return error;
}

}  // namespace platform::security

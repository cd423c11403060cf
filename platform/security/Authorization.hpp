#pragma once

#include "platform/foundation/DomainError.hpp"
#include "platform/security/SecStatus.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace platform::security {

inline constexpr OSStatus errAuthorizationSuccess = 0;
inline constexpr OSStatus errAuthorizationDenied = -60005;
inline constexpr OSStatus errAuthorizationCanceled = -60006;
inline constexpr OSStatus errAuthorizationInteractionNotAllowed = -60007;

// Flags of `copyRights`, with the platform's values.
enum AuthorizationFlags : unsigned {
    kAuthorizationFlagDefaults = 0,
    kAuthorizationFlagInteractionAllowed = 1u << 0,
    kAuthorizationFlagExtendRights = 1u << 1,
    kAuthorizationFlagPartialRights = 1u << 2,
    kAuthorizationFlagDestroyRights = 1u << 3,
    kAuthorizationFlagPreAuthorize = 1u << 4,
};

// The right to have root carry out a step for this process. On Linux root is reached by
// running a program through polkit's pkexec, which asks for an administrator's password while
// the program starts; a process that already runs as root needs no one.
class Authorization {
public:
    static constexpr const char* pkexecProgram = "/usr/bin/pkexec";

    // An authorization with no rights yet.
    static std::shared_ptr<Authorization> create();

    // Whether the rights can be had: at once for root; through pkexec, with interaction
    // allowed, for everyone else. The password itself is asked for when the step runs.
    [[nodiscard]] OSStatus copyRights(const std::vector<std::string>& rights, unsigned flags) const;

    // What goes before a program's path and arguments to run it with the rights: nothing for
    // root, else pkexec.
    std::vector<std::string> elevationPrefix() const;

    // What the exit status of a program started through `elevationPrefix` says about the
    // authorization: pkexec ends with 126 when the user dismissed its dialog and with 127 when it
    // refused; anything else is the program's own.
    [[nodiscard]] OSStatus statusOfElevatedExit(int exitStatus) const;

    // The error of a status that `copyRights` or `statusOfElevatedExit` gave: the status as the
    // code, and in words why root could not be had.
    foundation::DomainError errorFor(OSStatus status) const;
};

}  // namespace platform::security

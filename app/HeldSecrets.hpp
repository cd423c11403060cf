#pragma once

#include <string>
#include <vector>

namespace corvantis {

// The secrets this run has held (the account password as typed and as stored, and what the
// backend handed it: access tokens, VPN passwords, OpenVPN profiles with their keys, and
// whatever the keychain gave or kept), kept so
// that crash reports can leave them out wherever they turn up. They are written on the main
// queue and read by the reports' masking on any thread, hence locked.
// Nothing is forgotten: an earlier account's token may still sit in the report scope.
class HeldSecrets {
public:
    HeldSecrets() = delete;

    // An empty text is no secret and is not kept.
    static void remember(const std::string& secret);
    static std::vector<std::string> all();
    // Tests only: a new run holds nothing yet.
    static void forgetAll();
};

}  // namespace corvantis

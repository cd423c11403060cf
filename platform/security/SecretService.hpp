#pragma once

#include "platform/foundation/Expected.hpp"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform::security {

class SecretSessionCipher;

// A client of the desktop's Secret Service (org.freedesktop.secrets: gnome-keyring, KWallet) on
// the user's session bus, with blocking calls. Secrets travel encrypted
// ("dh-ietf1024-sha256-aes128-cbc-pkcs7", libsecret's default) where the service offers it, so
// that a monitor of the bus reads none; with the "plain" algorithm otherwise. Failures carry
// the keychain's status codes in `Error::code`: `errSecInteractionNotAllowed` when the keyring is
// locked and only the user could unlock it, `errSecIO` for anything else. Not thread-safe.
class SecretService {
public:
    using Attributes = std::map<std::string, std::string>;

    // The session bus's Secret Service: none when there is no session bus, nothing owns the
    // service's name there (a service that could only be started is not asked for), or it has
    // no default collection.
    static std::unique_ptr<SecretService> connect();
    ~SecretService();
    SecretService(const SecretService&) = delete;
    SecretService& operator=(const SecretService&) = delete;

    // The object paths of the items that have all of `attributes`, unlocked first where that
    // needs no one to type a password.
    foundation::Expected<std::vector<std::string>> searchItems(const Attributes& attributes);
    foundation::Expected<Attributes> attributes(const std::string& item);
    // When the item was made, in seconds since 1970.
    foundation::Expected<std::uint64_t> created(const std::string& item);
    foundation::Expected<std::string> secret(const std::string& item);
    foundation::Expected<void> setSecret(const std::string& item, const std::string& value);
    // A new item in the default collection; its object path.
    foundation::Expected<std::string> createItem(const std::string& label, const Attributes& attributes,
                                                 const std::string& value);
    foundation::Expected<void> deleteItem(const std::string& item);

private:
    SecretService(sd_bus* bus, std::string session, std::string collection, std::unique_ptr<SecretSessionCipher> cipher);
    foundation::Expected<void> unlock(const std::vector<std::string>& objects);
    foundation::Expected<void> unlockCollection();

    sd_bus* bus_;
    std::string session_;
    std::string collection_;
    std::unique_ptr<SecretSessionCipher> cipher_;  // none in a plain session
};

}  // namespace platform::security

#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::security {

// The encryption of a Secret Service session with the algorithm
// "dh-ietf1024-sha256-aes128-cbc-pkcs7" (libsecret's own choice): a Diffie-Hellman exchange in the
// 1024-bit group of RFC 2409 (generator 2), its shared secret, padded to the prime's length,
// turned into a 128-bit AES key by HKDF-SHA256 without salt or info; each secret is then sent
// AES-128-CBC encrypted with PKCS#7 padding, its random IV as the secret's parameters. So no
// secret crosses the session bus in the clear, where a monitor of the bus would read it.
class SecretSessionCipher {
public:
    // A fresh key pair; none when the crypto library cannot make one.
    static std::unique_ptr<SecretSessionCipher> create();
    ~SecretSessionCipher();
    SecretSessionCipher(const SecretSessionCipher&) = delete;
    SecretSessionCipher& operator=(const SecretSessionCipher&) = delete;

    // Our public value, big-endian, for the service's OpenSession.
    std::string publicKey() const;
    // Takes the service's public value and derives the session key; false for a value that is
    // not a valid public key of the group.
    bool agree(std::string_view servicePublicKey);

    struct Sealed {
        std::string parameters;  // the IV
        std::string value;
    };
    std::optional<Sealed> seal(std::string_view secret) const;
    // None when the parameters are not an IV or the value does not decrypt under the key.
    std::optional<std::string> open(std::string_view parameters, std::string_view value) const;

private:
    struct KeyPair;
    explicit SecretSessionCipher(std::unique_ptr<KeyPair> pair);

    std::unique_ptr<KeyPair> pair_;
    std::string key_;  // empty until `agree` succeeded
};

}  // namespace platform::security

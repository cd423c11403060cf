#include "platform/security/SecretSessionCipher.hpp"

#include <gtest/gtest.h>

using platform::security::SecretSessionCipher;

namespace {

// The prime of the 1024-bit group of RFC 2409, big-endian.
std::string groupPrime() {
    const std::string hex =
        "FFFFFFFFFFFFFFFFC90FDAA22168C234C4C6628B80DC1CD129024E088A67CC74020BBEA63B139B22514A08798E3404DD"
        "EF9519B3CD3A431B302B0A6DF25F14374FE1356D6D51C245E485B576625E7EC6F44C42E9A637ED6B0BFF5CB6F406B7ED"
        "EE386BFB5A899FA5AE9F24117C4B1FE649286651ECE65381FFFFFFFFFFFFFFFF";
    std::string bytes;
    for (std::size_t at = 0; at < hex.size(); at += 2) bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
    return bytes;
}

TEST(SecretSessionCipher, TwoEndsDeriveOneKeyAndEachSecretTravelsSealedUnderAFreshIv) {
    const auto ours = SecretSessionCipher::create();
    const auto theirs = SecretSessionCipher::create();
    ASSERT_TRUE(ours && theirs);
    EXPECT_FALSE(ours->seal("x")) << "no key before the exchange";
    ASSERT_TRUE(ours->agree(theirs->publicKey()));
    ASSERT_TRUE(theirs->agree(ours->publicKey()));

    const std::string secret = "vpn/s\u00e9cret+1=";
    const auto sealed = ours->seal(secret);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(sealed->parameters.size(), 16u);
    EXPECT_EQ(sealed->value.size(), 16u) << "14 bytes in one AES block with their padding";
    EXPECT_EQ(sealed->value.find("s\u00e9cret"), std::string::npos);
    EXPECT_EQ(theirs->open(sealed->parameters, sealed->value), secret);
    EXPECT_EQ(ours->open(sealed->parameters, sealed->value), secret);
    EXPECT_NE(ours->seal(secret)->parameters, sealed->parameters);
    EXPECT_EQ(theirs->open(sealed->parameters.substr(1), sealed->value), std::nullopt) << "an IV is 16 bytes";

    // A third party with keys of its own reads nothing.
    const auto other = SecretSessionCipher::create();
    ASSERT_TRUE(other->agree(SecretSessionCipher::create()->publicKey()));
    EXPECT_NE(other->open(sealed->parameters, sealed->value), secret);
}

TEST(SecretSessionCipher, APublicValueOutsideTheGroupIsRefused) {
    auto prime = groupPrime();
    auto primeLessOne = prime;
    primeLessOne.back() = '\xFE';
    for (const auto& value :
         {std::string(), std::string(1, '\0'), std::string(1, '\1'), primeLessOne, prime, std::string(129, '\xFF')}) {
        EXPECT_FALSE(SecretSessionCipher::create()->agree(value)) << value.size() << " bytes";
    }
}

}  // namespace

#include "platform/security/SecretSessionCipher.hpp"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/dh.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/param_build.h>
#include <openssl/rand.h>

#include <vector>

namespace platform::security {

namespace {
constexpr std::size_t keyLength = 16;  // AES-128
constexpr std::size_t ivLength = 16;

struct Free {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
    void operator()(BIGNUM* number) const { BN_free(number); }
    void operator()(OSSL_PARAM_BLD* builder) const { OSSL_PARAM_BLD_free(builder); }
    void operator()(OSSL_PARAM* params) const { OSSL_PARAM_free(params); }
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
    void operator()(EVP_KDF* kdf) const { EVP_KDF_free(kdf); }
    void operator()(EVP_KDF_CTX* context) const { EVP_KDF_CTX_free(context); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;

// A key of the group: domain parameters only, or with the public value `publicValue`.
Owned<EVP_PKEY> groupKey(const BIGNUM* publicValue) {
    Owned<BIGNUM> prime(BN_get_rfc2409_prime_1024(nullptr));
    Owned<BIGNUM> generator(BN_new());
    Owned<OSSL_PARAM_BLD> builder(OSSL_PARAM_BLD_new());
    if (!prime || !generator || !builder || BN_set_word(generator.get(), 2) != 1 ||
        OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_FFC_P, prime.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_FFC_G, generator.get()) != 1 ||
        (publicValue && OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, publicValue) != 1)) {
        return nullptr;
    }
    Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(builder.get()));
    Owned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new_from_name(nullptr, "DH", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &key, publicValue ? EVP_PKEY_PUBLIC_KEY : EVP_PKEY_KEY_PARAMETERS, params.get()) != 1) {
        return nullptr;
    }
    return Owned<EVP_PKEY>(key);
}

std::string hkdfSha256(const std::vector<unsigned char>& secret) {
    Owned<EVP_KDF> kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr));
    Owned<EVP_KDF_CTX> context(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr);
    if (!context) return {};
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<unsigned char*>(secret.data()), secret.size()),
        OSSL_PARAM_construct_end(),
    };
    std::string key(keyLength, '\0');
    if (EVP_KDF_derive(context.get(), reinterpret_cast<unsigned char*>(key.data()), key.size(), params) != 1) return {};
    return key;
}

// Runs AES-128-CBC (PKCS#7 padding) over `input` in the direction `encrypt` says.
std::optional<std::string> aes(const std::string& key, std::string_view iv, std::string_view input, bool encrypt) {
    Owned<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new());
    const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
    const auto* ivBytes = reinterpret_cast<const unsigned char*>(iv.data());
    if (!context || EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, keyBytes, ivBytes, encrypt ? 1 : 0) != 1) {
        return std::nullopt;
    }
    std::string output(input.size() + ivLength, '\0');
    int written = 0;
    int last = 0;
    auto* out = reinterpret_cast<unsigned char*>(output.data());
    if (EVP_CipherUpdate(context.get(), out, &written, reinterpret_cast<const unsigned char*>(input.data()),
                         static_cast<int>(input.size())) != 1 ||
        EVP_CipherFinal_ex(context.get(), out + written, &last) != 1) {
        return std::nullopt;
    }
    output.resize(static_cast<std::size_t>(written + last));
    return output;
}
}  // namespace

struct SecretSessionCipher::KeyPair {
    Owned<EVP_PKEY> key;
};

SecretSessionCipher::SecretSessionCipher(std::unique_ptr<KeyPair> pair) : pair_(std::move(pair)) {}

SecretSessionCipher::~SecretSessionCipher() {
    OPENSSL_cleanse(key_.data(), key_.size());
}

std::unique_ptr<SecretSessionCipher> SecretSessionCipher::create() {
    const auto group = groupKey(nullptr);
    Owned<EVP_PKEY_CTX> context(group ? EVP_PKEY_CTX_new_from_pkey(nullptr, group.get(), nullptr) : nullptr);
    EVP_PKEY* key = nullptr;
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1 || EVP_PKEY_generate(context.get(), &key) != 1) return nullptr;
    auto pair = std::make_unique<KeyPair>();
    pair->key.reset(key);
    return std::unique_ptr<SecretSessionCipher>(new SecretSessionCipher(std::move(pair)));
}

std::string SecretSessionCipher::publicKey() const {
    BIGNUM* value = nullptr;
    if (EVP_PKEY_get_bn_param(pair_->key.get(), OSSL_PKEY_PARAM_PUB_KEY, &value) != 1) return {};
    const Owned<BIGNUM> held(value);
    std::string bytes(static_cast<std::size_t>(BN_num_bytes(value)), '\0');
    BN_bn2bin(value, reinterpret_cast<unsigned char*>(bytes.data()));
    return bytes;
}

bool SecretSessionCipher::agree(std::string_view servicePublicKey) {
    Owned<BIGNUM> value(BN_bin2bn(reinterpret_cast<const unsigned char*>(servicePublicKey.data()),
                                  static_cast<int>(servicePublicKey.size()), nullptr));
    const auto peer = value ? groupKey(value.get()) : nullptr;
    Owned<EVP_PKEY_CTX> context(peer ? EVP_PKEY_CTX_new_from_pkey(nullptr, pair_->key.get(), nullptr) : nullptr);
    std::size_t length = 0;
    // The peer's value is checked against the group (1 < y < p - 1) before it is used.
    if (!context || EVP_PKEY_derive_init(context.get()) != 1 || EVP_PKEY_CTX_set_dh_pad(context.get(), 1) != 1 ||
        EVP_PKEY_derive_set_peer_ex(context.get(), peer.get(), 1) != 1 || EVP_PKEY_derive(context.get(), nullptr, &length) != 1) {
        return false;
    }
    std::vector<unsigned char> shared(length);
    if (EVP_PKEY_derive(context.get(), shared.data(), &length) != 1) return false;
    shared.resize(length);
    key_ = hkdfSha256(shared);
    OPENSSL_cleanse(shared.data(), shared.size());
    return !key_.empty();
}

std::optional<SecretSessionCipher::Sealed> SecretSessionCipher::seal(std::string_view secret) const {
    if (key_.empty()) return std::nullopt;
    std::string iv(ivLength, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(iv.data()), static_cast<int>(iv.size())) != 1) return std::nullopt;
    auto value = aes(key_, iv, secret, true);
    if (!value) return std::nullopt;
    return Sealed{std::move(iv), std::move(*value)};
}

std::optional<std::string> SecretSessionCipher::open(std::string_view parameters, std::string_view value) const {
    if (key_.empty() || parameters.size() != ivLength) return std::nullopt;
    return aes(key_, parameters, value, false);
}

}  // namespace platform::security

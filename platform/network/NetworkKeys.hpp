#pragma once

namespace platform::network {

// Interface types, entity names, property keys and values of the network configuration, with
// the texts the platform gives them.
inline constexpr const char* kSCNetworkInterfaceTypeIPv4 = "IPv4";
inline constexpr const char* kSCNetworkInterfaceTypeL2TP = "L2TP";
inline constexpr const char* kSCNetworkInterfaceTypePPP = "PPP";
inline constexpr const char* kSCNetworkProtocolTypeIPv4 = "IPv4";
inline constexpr const char* kSCEntNetIPSec = "IPSec";
inline constexpr const char* kSCEntNetPPP = "PPP";

inline constexpr const char* kSCPropNetPPPCommRemoteAddress = "CommRemoteAddress";
inline constexpr const char* kSCPropNetPPPAuthName = "AuthName";
inline constexpr const char* kSCPropNetPPPAuthPassword = "AuthPassword";
inline constexpr const char* kSCPropNetPPPAuthPasswordEncryption = "AuthPasswordEncryption";
inline constexpr const char* kSCValNetPPPAuthPasswordEncryptionKeychain = "Keychain";
inline constexpr const char* kSCPropNetIPSecAuthenticationMethod = "AuthenticationMethod";
inline constexpr const char* kSCValNetIPSecAuthenticationMethodSharedSecret = "SharedSecret";
inline constexpr const char* kSCPropNetIPSecSharedSecretEncryption = "SharedSecretEncryption";
inline constexpr const char* kSCValNetIPSecSharedSecretEncryptionKeychain = "Keychain";
inline constexpr const char* kSCPropNetIPSecSharedSecret = "SharedSecret";
inline constexpr const char* kSCPropNetIPv4ConfigMethod = "ConfigMethod";
inline constexpr const char* kSCValNetIPv4ConfigMethodPPP = "PPP";
inline constexpr const char* kSCPropNetOverridePrimary = "OverridePrimary";

}  // namespace platform::network

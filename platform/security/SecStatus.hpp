#pragma once

namespace platform::security {

// Result codes of keychain operations, with the values the platform's keychain uses.
using OSStatus = int;

inline constexpr OSStatus errSecSuccess = 0;
inline constexpr OSStatus errSecIO = -36;
inline constexpr OSStatus errSecParam = -50;
inline constexpr OSStatus errSecDuplicateItem = -25299;
inline constexpr OSStatus errSecItemNotFound = -25300;
// The keyring is locked and only the user could unlock it.
inline constexpr OSStatus errSecInteractionNotAllowed = -25308;

}  // namespace platform::security

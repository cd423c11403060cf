#include "platform/foundation/UnicodeNormalization.hpp"

#include "platform/foundation/Utf8.hpp"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace platform::foundation {

std::string precomposedStringWithCanonicalMapping(std::string_view text) {
    // ASCII is its own composition, and it is what most names are.
    if (std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return std::string(text);
    if (!isValidUtf8(text)) return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    const auto source = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    const auto composed = nfc->normalize(source, status);
    if (U_FAILURE(status)) return std::string(text);
    std::string result;
    composed.toUTF8String(result);
    return result;
}

std::string foldedForSearch(std::string_view text) {
    if (!isValidUtf8(text)) return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    const auto source = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    const auto decomposed = nfd->normalize(source, status);
    if (U_FAILURE(status)) return std::string(text);
    icu::UnicodeString bare;
    for (int32_t at = 0; at < decomposed.length(); at = decomposed.moveIndex32(at, 1)) {
        const UChar32 character = decomposed.char32At(at);
        if (u_charType(character) != U_NON_SPACING_MARK) bare.append(character);
    }
    bare.foldCase();
    std::string result;
    bare.toUTF8String(result);
    return result;
}

}  // namespace platform::foundation

#include "platform/foundation/UnicodeNormalization.hpp"

#include "platform/foundation/Utf8.hpp"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <optional>

namespace platform::foundation {

namespace {

using NormalizerInstance = const icu::Normalizer2* (*)(UErrorCode&);

// The text normalized by ICU's normalizer; none when it is not valid UTF-8 or ICU fails.
std::optional<icu::UnicodeString> normalized(std::string_view text, NormalizerInstance instance) {
    if (!isValidUtf8(text)) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = instance(status);
    if (U_FAILURE(status)) return std::nullopt;
    const auto source = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    auto result = normalizer->normalize(source, status);
    if (U_FAILURE(status)) return std::nullopt;
    return result;
}

std::string utf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace

std::string precomposedStringWithCanonicalMapping(std::string_view text) {
    // ASCII is its own composition, and it is what most names are.
    if (std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return std::string(text);
    const auto composed = normalized(text, &icu::Normalizer2::getNFCInstance);
    return composed ? utf8(*composed) : std::string(text);
}

std::string foldedForSearch(std::string_view text) {
    const auto decomposed = normalized(text, &icu::Normalizer2::getNFDInstance);
    if (!decomposed) return std::string(text);
    icu::UnicodeString bare;
    for (int32_t at = 0; at < decomposed->length(); at = decomposed->moveIndex32(at, 1)) {
        const UChar32 character = decomposed->char32At(at);
        if (u_charType(character) != U_NON_SPACING_MARK) bare.append(character);
    }
    bare.foldCase();
    return utf8(bare);
}

std::string caseFolded(std::string_view text) {
    auto composed = normalized(text, &icu::Normalizer2::getNFCInstance);
    if (!composed) return std::string(text);
    composed->foldCase();
    return utf8(*composed);
}

}  // namespace platform::foundation

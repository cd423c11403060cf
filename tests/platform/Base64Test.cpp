#include "platform/foundation/Base64.hpp"

#include <gtest/gtest.h>

namespace Base64 = platform::foundation::Base64;

namespace {

TEST(Base64, EncodesRfc4648TestVectors) {
    const std::vector<std::pair<std::string, std::string>> vectors{
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xfb\xff\x00", 3), "+/8A"},
    };
    for (const auto& [bytes, text] : vectors) {
        EXPECT_EQ(Base64::encode(bytes), text);
        EXPECT_EQ(Base64::decode(text), bytes);
    }
}

TEST(Base64, LongInputStaysOnOneLine) {
    const std::string bytes(3000, 'a');
    const auto text = Base64::encode(bytes);
    EXPECT_EQ(text.size(), 4000u);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(Base64::decode(text), bytes);
}

TEST(Base64, RejectsTextThatIsNotPaddedBase64) {
    for (const std::string text : {"Zg", "Zg=", "Z===", "Zm9v\n", "Zm=v", "Zg==Zg==", "Zm9*"}) {
        EXPECT_FALSE(Base64::decode(text)) << text;
    }
}

TEST(Base64, TheLenientDecodingSkipsLineBreaksAndOtherStrayCharacters) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {"Zm9v\r\nYmFy", "foobar"},
        {" Zm9v\tYg==\n", "foob"},
        {"Zm*9v", "foo"},
        {"Zm9vY", std::nullopt},  // a group cut short stays wrong
        {"", ""},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(Base64::decodeIgnoringUnknownCharacters(text), expected) << text;
}

}  // namespace

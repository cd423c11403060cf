#include "platform/foundation/Utf8StreamDecoder.hpp"

#include <gtest/gtest.h>

using platform::foundation::Utf8StreamDecoder;

TEST(Utf8StreamDecoder, CharactersSplitBetweenChunksComeOutWhole) {
    const std::string text = "a\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80!";
    // Every way of cutting the text in two gives the text back.
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        Utf8StreamDecoder decoder;
        std::string decoded = decoder.decode(text.substr(0, cut));
        decoded += decoder.decode(text.substr(cut));
        decoded += decoder.finish();
        EXPECT_EQ(decoded, text) << "cut at " << cut;
    }
}

TEST(Utf8StreamDecoder, BytesThatCannotBeUtf8BecomeReplacementCharacters) {
    Utf8StreamDecoder decoder;
    EXPECT_EQ(decoder.decode("ok \xFF\xC0\x80 end"), "ok \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD end");
    EXPECT_EQ(decoder.decode("tail \xE2\x82"), "tail ");
    // A sequence cut short by the next chunk, and one cut short by the end of the stream.
    EXPECT_EQ(decoder.decode("x"), "\xEF\xBF\xBD\xEF\xBF\xBDx");
    EXPECT_EQ(decoder.decode("\xF0\x9F"), "");
    EXPECT_EQ(decoder.finish(), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(decoder.finish(), "");
}

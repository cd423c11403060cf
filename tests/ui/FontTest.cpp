#include "UiTestCase.hpp"

#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ResourceDirectory.hpp"
#include "platform/ui/Font.hpp"
#include "platform/ui/FontFile.hpp"
#include "platform/ui/FontMetricsMeasurer.hpp"
#include "platform/ui/FontRegistry.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <vector>

using platform::ui::Font;
using platform::ui::FontFile;
using platform::ui::FontMetricsMeasurer;
using platform::ui::FontRegistry;
using platform::ui::TextAttributes;

namespace {

// Writes the smallest font file the reader accepts, table by table, so that the character map
// and the metrics can be chosen freely.
class FontBuilder {
public:
    std::map<std::string, std::string> tables;

    static void u16(std::string& out, unsigned value) {
        out.push_back(static_cast<char>((value >> 8) & 0xFF));
        out.push_back(static_cast<char>(value & 0xFF));
    }
    static void u32(std::string& out, std::uint32_t value) {
        u16(out, value >> 16);
        u16(out, value & 0xFFFF);
    }

    FontBuilder() {
        std::string head(54, '\0');
        head[18] = 0x03;  // 1000 units per em
        head[19] = static_cast<char>(0xE8);
        tables["head"] = head;
        setMetrics({500, 600, 700, 800}, 800, -200);
        // PostScript name on the Macintosh platform only, as old fonts have it.
        std::string name;
        const std::string postScript = "Test-Regular";
        u16(name, 0);
        u16(name, 1);
        u16(name, 6 + 12);
        for (unsigned field : {1u, 0u, 0u, 6u}) u16(name, field);
        u16(name, static_cast<unsigned>(postScript.size()));
        u16(name, 0);
        tables["name"] = name + postScript;
    }

    void setMetrics(const std::vector<unsigned>& advances, int ascender, int descender, unsigned declaredCount = 0) {
        std::string hhea(36, '\0');
        hhea[4] = static_cast<char>((ascender >> 8) & 0xFF);
        hhea[5] = static_cast<char>(ascender & 0xFF);
        hhea[6] = static_cast<char>((descender >> 8) & 0xFF);
        hhea[7] = static_cast<char>(descender & 0xFF);
        const unsigned count = declaredCount != 0 ? declaredCount : static_cast<unsigned>(advances.size());
        hhea[34] = static_cast<char>(count >> 8);
        hhea[35] = static_cast<char>(count & 0xFF);
        tables["hhea"] = hhea;
        std::string hmtx;
        for (unsigned advance : advances) {
            u16(hmtx, advance);
            u16(hmtx, 0);
        }
        tables["hmtx"] = hmtx;
    }

    struct Group {
        std::uint32_t first, last, glyph;
    };
    void setCharacterGroups(const std::vector<Group>& groups) {
        std::string cmap;
        u16(cmap, 0);
        u16(cmap, 1);
        u16(cmap, 3);
        u16(cmap, 10);
        u32(cmap, 12);
        u16(cmap, 12);
        u16(cmap, 0);
        u32(cmap, static_cast<std::uint32_t>(16 + 12 * groups.size()));
        u32(cmap, 0);
        u32(cmap, static_cast<std::uint32_t>(groups.size()));
        for (const Group& group : groups) {
            u32(cmap, group.first);
            u32(cmap, group.last);
            u32(cmap, group.glyph);
        }
        tables["cmap"] = cmap;
    }

    // A basic-plane map whose segments map each character to itself.
    void setBasicPlaneSegments(const std::vector<std::pair<unsigned, unsigned>>& segments) {
        std::string cmap;
        for (unsigned field : {0u, 1u, 3u, 1u}) u16(cmap, field);
        u32(cmap, 12);
        const auto count = static_cast<unsigned>(segments.size());
        for (unsigned field : {4u, 16 + 8 * count, 0u, 2 * count, 0u, 0u, 0u}) u16(cmap, field);
        for (const auto& segment : segments) u16(cmap, segment.second);
        u16(cmap, 0);
        for (const auto& segment : segments) u16(cmap, segment.first);
        for (std::size_t i = 0; i < 2 * segments.size(); ++i) u16(cmap, 0);  // no delta, no range offset
        tables["cmap"] = cmap;
    }

    std::string build() const {
        std::string file;
        u32(file, 0x00010000);
        u16(file, static_cast<unsigned>(tables.size()));
        u16(file, 0);
        u16(file, 0);
        u16(file, 0);
        std::uint32_t offset = static_cast<std::uint32_t>(12 + 16 * tables.size());
        std::string data;
        for (const auto& [tag, content] : tables) {
            file += tag;
            u32(file, 0);
            u32(file, offset + static_cast<std::uint32_t>(data.size()));
            u32(file, static_cast<std::uint32_t>(content.size()));
            data += content;
        }
        return file + data;
    }
};

const auto shippedFont = platform::foundation::resourceDirectory() / "fonts" / "Montserrat-Medium.ttf";

class FontTest : public corvantis::testing::UiTestCase {};

TEST_F(FontTest, ScreenFaceResolvesToTheShippedMontserratFile) {
    const auto font = Font::named("Montserrat-Medium", 12.0);
    ASSERT_TRUE(font.has_value());
    EXPECT_EQ(font->fontName(), "Montserrat-Medium");
    EXPECT_EQ(font->pointSize(), 12.0);
    ASSERT_NE(font->file(), nullptr);
    EXPECT_EQ(font->file()->unitsPerEm(), 1000);
    // A size that is not positive gives the default size, as AppKit does.
    EXPECT_EQ(Font::named("Montserrat-Medium", 0)->pointSize(), Font::defaultSize);
}

TEST_F(FontTest, UnknownFaceIsNoneAndSystemFaceAlwaysExists) {
    EXPECT_FALSE(Font::named("Helvetica-NoSuchWeight", 12).has_value());
    const Font system = Font::system(14, Font::weightThin);
    EXPECT_EQ(system.fontName(), FontRegistry::systemFaceName);
    EXPECT_EQ(system.weight(), Font::weightThin);
    EXPECT_EQ(system.file(), nullptr);
    EXPECT_EQ(Font::named(FontRegistry::systemFaceName, 14)->fontName(), system.fontName());
}

TEST_F(FontTest, ScreenFaceStandsForTheSystemFaceWhenItsFileIsMissing) {
    corvantis::testing::TemporaryFolder emptyResources;
    corvantis::testing::ScopedEnvironment resources("CORVANTIS_RESOURCES_DIR", emptyResources.path().string());
    ::testing::internal::CaptureStderr();
    FontRegistry::shared().reset();
    const std::string note = ::testing::internal::GetCapturedStderr();

    const auto font = Font::named("Montserrat-Medium", 12.0);
    ASSERT_TRUE(font.has_value());
    EXPECT_EQ(font->fontName(), FontRegistry::systemFaceName);
    EXPECT_NE(note.find("\"Montserrat-Medium\" is not in"), std::string::npos) << note;
}

TEST_F(FontTest, FolderRegistrationSkipsUnusableFilesAndSaysWhich) {
    corvantis::testing::TemporaryFolder folder;
    FontBuilder usable;
    usable.setCharacterGroups({{'A', 'Z', 1}});
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "Test.ttf", usable.build(), 0644));
    FontBuilder withoutMap;  // no character map at all
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "Broken.ttf", withoutMap.build(), 0644));
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "notes.txt", "not a font", 0644));

    ::testing::internal::CaptureStderr();
    const int registered = FontRegistry::shared().registerFontsIn(folder.path());
    const std::string report = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(registered, 1);
    EXPECT_NE(report.find("Broken.ttf: no 'cmap' table"), std::string::npos) << report;
    EXPECT_EQ(report.find("notes.txt"), std::string::npos);
    EXPECT_TRUE(Font::named("Test-Regular", 10).has_value());
}

TEST(FontFile, ReadsNamesMetricsAndTheFullCharacterMap) {
    FontBuilder builder;
    // Glyph 9 is past the last metric; the overlapping second group loses the shared "B".
    builder.setCharacterGroups({{'A', 'B', 1}, {'B', 'C', 2}, {0x1F600, 0x1F600, 9}});
    const auto parsed = FontFile::parse(builder.build(), "built");
    ASSERT_TRUE(parsed) << parsed.error().message;
    const FontFile& font = *parsed.value();
    EXPECT_EQ(font.postScriptName(), "Test-Regular");
    EXPECT_EQ(font.ascender(), 800);
    EXPECT_EQ(font.descender(), -200);
    EXPECT_EQ(font.advance(U'A'), 600);
    EXPECT_EQ(font.advance(U'B'), 700);
    EXPECT_EQ(font.advance(U'C'), 800);
    EXPECT_EQ(font.advance(U'\U0001F600'), 800);
    EXPECT_EQ(font.advance(U'D'), 500);  // the missing-glyph box
}

TEST(FontFile, RefusesDamagedFilesWithAReason) {
    const auto real = platform::foundation::FileSystem::readFile(shippedFont);
    ASSERT_TRUE(real);
    FontBuilder noMap;
    FontBuilder shortMetrics;
    shortMetrics.setCharacterGroups({{'A', 'A', 1}});
    shortMetrics.setMetrics({500, 600}, 800, -200, 40);
    FontBuilder overlapping;  // a map that claims the whole plane twice
    overlapping.setBasicPlaneSegments({{0, 0xFFFE}, {0, 0xFFFE}});
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "outside the file"},
        {"hello, world", "not a TrueType or OpenType font"},
        {real.value().substr(0, 300), "outside the file"},
        {real.value().substr(0, real.value().size() / 2), "outside the file"},
        {noMap.build(), "no 'cmap' table"},
        {shortMetrics.build(), "horizontal metrics outside their table"},
        {overlapping.build(), "character map segments overlap"},
    };
    for (const auto& [bytes, reason] : cases) {
        const auto parsed = FontFile::parse(bytes, "sample");
        ASSERT_FALSE(parsed) << reason;
        EXPECT_EQ(parsed.error().message.rfind("Unusable font file sample: ", 0), 0u) << parsed.error().message;
        EXPECT_NE(parsed.error().message.find(reason), std::string::npos) << parsed.error().message;
    }
}

TEST(FontFile, ReadsBasicPlaneSegments) {
    FontBuilder builder;
    builder.setBasicPlaneSegments({{1, 3}, {0xFFFF, 0xFFFF}});
    const auto parsed = FontFile::parse(builder.build(), "built");
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_EQ(parsed.value()->advance(1), 600);
    EXPECT_EQ(parsed.value()->advance(3), 800);
    EXPECT_EQ(parsed.value()->advance(4), 500);
}

TEST(FontMetricsMeasurer, MeasuresWithTheFacesAdvanceWidths) {
    platform::ui::testing::reset();
    const FontMetricsMeasurer measurer;
    TextAttributes twelve;
    twelve.font = Font::named("Montserrat-Medium", 12.0);
    // Advance widths read from the file with another reader: 10403 units for the whole text.
    const auto size = measurer.size("Germany - Frankfurt", twelve);
    EXPECT_DOUBLE_EQ(size.width, 10403 * 12.0 / 1000);
    EXPECT_DOUBLE_EQ(size.height, (968 + 251) * 12.0 / 1000);
    EXPECT_DOUBLE_EQ(measurer.size("A", twelve).width, 732 * 12.0 / 1000);
    EXPECT_DOUBLE_EQ(measurer.size("\xC3\xA9", twelve).width, 612 * 12.0 / 1000);  // one character, two bytes

    TextAttributes system;
    system.font = Font::system(10);
    EXPECT_DOUBLE_EQ(measurer.size("abcd", system).width, 20.0);
    EXPECT_DOUBLE_EQ(measurer.size("abcd", TextAttributes{}).width, 24.0);  // no font: the system font at 12
}

TEST_F(FontTest, TextIsMeasuredByTheMeasurerOfTheInstalledServices) {
    measurer->widths["Germany"] = 40;
    TextAttributes attributes;
    attributes.font = Font::named("Montserrat-Medium", 24.0);
    EXPECT_DOUBLE_EQ(platform::ui::TextMeasurer::sizeOf("Germany", attributes).width, 80.0);
}

}  // namespace

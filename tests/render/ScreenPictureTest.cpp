// The application's screens as corvantis-render draws them, checked for facts a person sees:
// where the login waves are, that sign-in errors are whole, that titles and captions sit in the
// middle of their frames and labels on the middle of their icons, that a disabled form looks
// disabled, and that hint popovers and the Quit menu are drawn as such.

#include "RenderTestCase.hpp"

#include "platform/render/Picture.hpp"
#include "platform/ui/TextField.hpp"
#include "support/ProgramRun.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace corvantis::testing {
namespace {

using platform::render::Picture;
using platform::ui::Image;
using platform::ui::Rect;
using Pixel = Image::Pixel;
using IsInk = std::function<bool(const Pixel&)>;

constexpr double scale = 2;

// The picture of `scene` in `state` as the render tool draws it (window points, y upwards).
Picture rendered(const std::string& scene, const std::string& state) {
    static TemporaryFolder folder;
    const auto file = folder / (scene + "-" + state + ".png");
    const auto run = runProgram({CORVANTIS_RENDER_PROGRAM, {scene, state, file.string(), "--scale", "2"}, {}});
    EXPECT_TRUE(run.exit.succeeded()) << scene << " " << state << ": " << run.standardError;
    auto picture = Picture::readPng(file, scale);
    if (!picture) {
        ADD_FAILURE() << picture.error().message;
        return Picture(1, 1, scale);
    }
    return std::move(picture.value());
}

// The ink of `picture` inside `region`: its bounds and the baseline, the lowest row that most of
// its columns end on (letters without descenders stand on it). In window points, pixel centres.
struct Ink {
    int pixels = 0;
    double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9, baseline = 0;

    double middleX() const { return (left + right) / 2; }
    double middleY() const { return (bottom + top) / 2; }
    // The middle of the letters' bodies: from the baseline to the top of the capitals.
    double textMiddleY() const { return (baseline + top) / 2; }
};

Ink inkIn(const Picture& picture, const Rect& region, const IsInk& isInk) {
    Ink ink;
    std::map<int, int> columnBottoms;  // a column's lowest ink row → how many columns end there
    const int height = picture.pixelsHigh();
    const int firstX = static_cast<int>(std::floor(region.minX() * scale));
    const int endX = static_cast<int>(std::ceil(region.maxX() * scale));
    const int firstRow = height - static_cast<int>(std::ceil(region.maxY() * scale));
    const int endRow = height - static_cast<int>(std::floor(region.minY() * scale));
    for (int x = std::max(0, firstX); x < std::min(endX, picture.pixelsWide()); ++x) {
        int lowest = -1;
        for (int row = std::max(0, firstRow); row < std::min(endRow, height); ++row) {
            if (!isInk(picture.pixel(x, row))) continue;
            ++ink.pixels;
            lowest = row;
            const double px = (x + 0.5) / scale;
            const double py = (height - row - 0.5) / scale;
            ink.left = std::min(ink.left, px);
            ink.right = std::max(ink.right, px);
            ink.bottom = std::min(ink.bottom, py);
            ink.top = std::max(ink.top, py);
        }
        if (lowest >= 0) ++columnBottoms[lowest];
    }
    const auto most = std::max_element(columnBottoms.begin(), columnBottoms.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    if (most != columnBottoms.end()) ink.baseline = (height - most->first - 0.5) / scale;
    return ink;
}

bool isDark(const Pixel& p) {
    return p.alpha > 128 && p.red + p.green + p.blue < 3 * 150;
}
bool isNonWhite(const Pixel& p) {
    return p.alpha > 128 && p.red + p.green + p.blue < 3 * 215;
}
bool isLight(const Pixel& p) {
    return p.red > 215 && p.green > 215 && p.blue > 215;
}
bool isAccentBlue(const Pixel& p) {
    return std::abs(p.red - 31) < 24 && std::abs(p.green - 102) < 24 && std::abs(p.blue - 251) < 24;
}
bool isErrorTint(const Pixel& p) {
    return p.alpha > 128 && p.red > 200 && p.red - p.green > 40;
}

// The runs of rows that hold ink in `region`, top first: one per line of text. Gaps narrower than
// a point and a half (above the dot of an "i") belong to their line.
std::vector<std::pair<double, double>> lineBands(const Picture& picture, const Rect& region, const IsInk& isInk) {
    std::vector<std::pair<double, double>> bands;  // (top, bottom)
    for (double y = region.maxY() - 0.25; y > region.minY(); y -= 1 / scale) {
        bool ink = false;
        for (double x = region.minX() + 0.25; x < region.maxX() && !ink; x += 1 / scale) ink = isInk(picture.pixelAt({x, y}));
        if (!ink) continue;
        if (bands.empty() || bands.back().second - y > 1.5) bands.emplace_back(y, y);
        bands.back().second = y;
    }
    return bands;
}

// Whether the line of text in the band ends in an ellipsis: its last three marks are small dots
// standing on the line's bottom.
bool endsInEllipsis(const Picture& picture, const Rect& region, std::pair<double, double> band, const IsInk& isInk) {
    struct Mark {
        double top = -1e9, bottom = 1e9;
    };
    std::vector<Mark> marks;
    bool inMark = false;
    for (double x = region.minX() + 0.25; x < region.maxX(); x += 1 / scale) {
        Mark column;
        for (double y = band.first; y >= band.second; y -= 1 / scale) {
            if (!isInk(picture.pixelAt({x, y}))) continue;
            column.top = std::max(column.top, y);
            column.bottom = std::min(column.bottom, y);
        }
        const bool ink = column.top > -1e9;
        if (ink && !inMark) marks.push_back(column);
        if (ink) marks.back() = {std::max(marks.back().top, column.top), std::min(marks.back().bottom, column.bottom)};
        inMark = ink;
    }
    if (marks.size() < 3) return false;
    const double lineHeight = band.first - band.second;
    return std::all_of(marks.end() - 3, marks.end(), [&](const Mark& mark) {
        return mark.top - mark.bottom < 0.3 * lineHeight && mark.bottom - band.second < 0.25 * lineHeight;
    });
}

class ScreenPictureTest : public RenderTestCase {};

TEST_F(ScreenPictureTest, TheLoginWavesRideInTheBottomBandAndLeaveTheFormClear) {
    const auto picture = rendered("login", "empty");
    const auto tinted = [](const Pixel& p) { return p.alpha == 255 && p.blue > p.red + 6 && p.red > 150; };
    // Below the links, on the whole width.
    const auto band = count(picture, Rect(0, 0, 300, 100), tinted);
    EXPECT_GT(band.inside, static_cast<int>(0.3 * 300 * 100 * scale * scale)) << "the band is waves, not white";
    for (const double x : {15.0, 150.0, 285.0}) {
        EXPECT_TRUE(tinted(picture.pixelAt({x, 8}))) << "waves at the bottom, x " << x;
    }
    EXPECT_TRUE(isLight(picture.pixelAt({150, 140}))) << "no wave behind the button's row";
}

// The positive case for the ellipsis finder: a label too small for its text.
TEST_F(ScreenPictureTest, TheEllipsisFinderSeesACutLabel) {
    auto window = whiteWindow(200, 40);
    auto label = std::make_shared<platform::ui::TextField>(Rect(10, 10, 180, 20));
    label->setEditable(false);
    label->setStringValue("Please, enter correct username and password to sign in");
    window->contentView()->addSubview(label);
    const auto picture = platform::render::OffscreenRenderer(scale).draw(*window);
    const Rect region(10, 10, 180, 20);
    const auto bands = lineBands(picture, region, isDark);
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_TRUE(endsInEllipsis(picture, region, bands.back(), isDark));
}

TEST_F(ScreenPictureTest, EverySignInErrorIsShownWholeInAtMostTwoLinesUnderTheForm) {
    const Rect label(15, 198, 270, 38);
    for (const char* state : {"error", "error-credentials", "error-unconfirmed", "error-no-vpn-guide", "error-no-vpn-purchase",
                              "error-connection", "error-maintenance"}) {
        const auto picture = rendered("login", state);
        // The button's top is at 194, the password line at 239: the text keeps between them.
        const Rect around(0, 194, 300, 45);
        const auto bands = lineBands(picture, around, isErrorTint);
        ASSERT_GE(bands.size(), 1u) << state;
        EXPECT_LE(bands.size(), 2u) << state;
        EXPECT_FALSE(endsInEllipsis(picture, around, bands.back(), isErrorTint)) << state;
        const auto ink = inkIn(picture, around, isErrorTint);
        EXPECT_GE(ink.bottom, label.minY()) << state;
        EXPECT_LE(ink.top, label.maxY()) << state;
        EXPECT_NEAR(ink.middleX(), 150, 1.0) << state << ": centred under the form";
    }
}

TEST_F(ScreenPictureTest, TheLogInTitleStandsInTheMiddleOfTheButtonsBody) {
    const auto picture = rendered("login", "filled");
    // The body: the accent blue at the button's left end, between the links and the error label.
    const auto body = inkIn(picture, Rect(32, 140, 6, 60), isAccentBlue);
    ASSERT_GT(body.pixels, 0);
    const auto title = inkIn(picture, Rect(40, body.bottom, 220, body.top - body.bottom), isLight);
    ASSERT_GT(title.pixels, 0);
    EXPECT_NEAR(title.textMiddleY(), body.middleY(), 1.0);
    EXPECT_NEAR(title.middleX(), 150, 1.0);
}

TEST_F(ScreenPictureTest, TheSettingsCaptionIsCentredOverTheScreenOnItsLine) {
    const auto picture = rendered("settings", "app");
    const auto caption = inkIn(picture, Rect(50, 360, 200, 28), isDark);
    ASSERT_GT(caption.pixels, 0);
    EXPECT_NEAR(caption.middleX(), 150, 1.0);
    EXPECT_NEAR(caption.textMiddleY(), 374, 1.0);
}

TEST_F(ScreenPictureTest, LabelsStandOnTheMiddleOfTheirIconsBoxesAndRadios) {
    struct Pair {
        const char* scene;
        const char* state;
        Rect icon;
        Rect text;
        IsInk iconInk;
    };
    const std::vector<Pair> pairs{
        // From 2 points into the fields, clear of an insertion point at their start.
        {"login", "empty", {38, 298, 20, 20}, {68, 296, 194, 24}, isDark},           // "Email"
        {"login", "empty", {38, 248, 20, 20}, {68, 246, 194, 24}, isDark},           // "Password"
        {"settings", "app", {19, 159, 18, 22}, {42, 160, 88, 20}, isNonWhite},       // the kill switch's box
        {"settings", "app", {19, 195, 18, 22}, {42, 196, 58, 20}, isNonWhite},       // the UDP radio
        {"locations", "cities", {14, 245, 28, 22}, {52, 245, 150, 22}, isNonWhite},  // the first city's flag
    };
    for (const auto& [scene, state, iconRegion, textRegion, iconInk] : pairs) {
        const auto picture = rendered(scene, state);
        const auto icon = inkIn(picture, iconRegion, iconInk);
        const auto text = inkIn(picture, textRegion, isDark);
        ASSERT_GT(icon.pixels, 0) << scene << " " << textRegion;
        ASSERT_GT(text.pixels, 0) << scene << " " << textRegion;
        EXPECT_NEAR(text.textMiddleY(), icon.middleY(), 1.0) << scene << " " << textRegion;
    }
}

TEST_F(ScreenPictureTest, SearchTextAndPlaceholderSitInTheMiddleOfTheField) {
    for (const char* state : {"search", "search-text"}) {
        const auto picture = rendered("locations", state);
        // The bar lies at y 284 to 312, its text from x 28; the first letters, clear of the
        // insertion point.
        const auto text = inkIn(picture, Rect(30, 286, 14, 24), isNonWhite);
        ASSERT_GT(text.pixels, 0) << state;
        EXPECT_NEAR(text.textMiddleY(), 298, 1.0) << state;
    }
}

TEST_F(ScreenPictureTest, TheSigningInFormLooksDisabled) {
    const auto ready = rendered("login", "filled");
    const auto signingIn = rendered("login", "signing-in");
    const auto differs = [](const Pixel& a, const Pixel& b) {
        return std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue) > 60;
    };
    // The button's body away from its title, and the e-mail text.
    EXPECT_TRUE(isAccentBlue(ready.pixelAt({36, 175})));
    EXPECT_TRUE(differs(ready.pixelAt({36, 175}), signingIn.pixelAt({36, 175}))) << "the body fades";
    const auto readyText = inkIn(ready, Rect(66, 296, 196, 24), isDark);
    const auto fadedText = inkIn(signingIn, Rect(66, 296, 196, 24), isDark);
    EXPECT_GT(readyText.pixels, 50);
    EXPECT_LT(fadedText.pixels, readyText.pixels / 4) << "the e-mail text fades";
}

TEST_F(ScreenPictureTest, LaunchAtLoginIsWrittenLikeTheOtherSettings) {
    const auto picture = rendered("settings", "app");
    const auto launch = inkIn(picture, Rect(38, 100, 150, 20), isDark);
    const auto killSwitch = inkIn(picture, Rect(42, 160, 88, 20), isDark);
    ASSERT_GT(launch.pixels, 0);
    // "Launch" and "Kill" both start with a capital: the same size gives the same capital height.
    EXPECT_NEAR(launch.top - launch.baseline, killSwitch.top - killSwitch.baseline, 0.6);
    EXPECT_NEAR(launch.left, killSwitch.left, 1.0) << "in line with the labels";
    // The navy of the text, not black.
    const auto navy = [](const Pixel& p) { return p.alpha == 255 && p.blue > p.red + 30 && p.red + p.green + p.blue < 3 * 100; };
    EXPECT_GT(count(picture, Rect(38, 100, 150, 20), navy).inside, 10);
    const auto black = [](const Pixel& p) { return p.alpha == 255 && p.red + p.green + p.blue < 40; };
    EXPECT_EQ(count(picture, Rect(0, 0, 300, 360), black).inside, 0) << "no black text on the screen";
}

TEST_F(ScreenPictureTest, TheHintPopoverPointsAtItsIconWithItsTextInTheMiddle) {
    const auto picture = rendered("settings", "hint");
    const double width = picture.pixelsWide() / scale;
    const double height = picture.pixelsHigh() / scale;
    ASSERT_EQ(width, 250);
    ASSERT_EQ(height, 59 + 8) << "the bubble and its arrow's strip";
    // The arrow at the top middle; the strip beside it is clear.
    EXPECT_EQ(picture.pixelAt({125, height - 4}).alpha, 255);
    EXPECT_EQ(picture.pixelAt({60, height - 4}).alpha, 0);
    EXPECT_EQ(picture.pixelAt({190, height - 4}).alpha, 0);
    const auto text = inkIn(picture, Rect(4, 4, 242, 51), isDark);
    ASSERT_GT(text.pixels, 0);
    EXPECT_NEAR(text.middleX(), 125, 1.0);
    const auto lines = lineBands(picture, Rect(4, 4, 242, 51), isDark);
    ASSERT_EQ(lines.size(), 2u);
    // Two lines as a block: from the first line's top to the second's baseline, round the middle.
    const auto second = inkIn(picture, Rect(4, 4, 242, lines.back().first - 4 + 0.5), isDark);
    EXPECT_NEAR((text.top + second.baseline) / 2, 59.0 / 2, 1.5);
}

TEST_F(ScreenPictureTest, TheQuitMenuHasABorderAShadowAndHighlightsTheItemUnderThePointer) {
    const auto picture = rendered("settings", "quit-menu");
    const double width = picture.pixelsWide() / scale;
    const double height = picture.pixelsHigh() / scale;
    const Rect body(8, 8, width - 16, height - 16);
    // The row under the pointer in the accent colour, its title in white.
    EXPECT_GT(count(picture, body, isAccentBlue).inside, 200);
    // A border darker than the body round it, and a shadow fading out below it.
    const auto edge = picture.pixelAt({body.midX(), body.maxY() - 0.25});
    EXPECT_LT(edge.red, 235) << "the border";
    const auto shade = picture.pixelAt({body.midX(), body.minY() - 2});
    EXPECT_GT(shade.alpha, 20) << "the shadow below";
    EXPECT_LT(picture.pixelAt({body.midX(), 0.25}).alpha, shade.alpha) << "fading out";
}

}  // namespace
}  // namespace corvantis::testing

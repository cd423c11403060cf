#include "UiTestCase.hpp"

#include "platform/ui/Image.hpp"

#include <gtest/gtest.h>

#include <vector>

using platform::ui::Color;
using platform::ui::CompositingOperation;
using platform::ui::Image;
using platform::ui::Rect;
using platform::ui::Size;
using Pixel = platform::ui::Image::Pixel;

namespace {

class ImageTest : public corvantis::testing::UiTestCase {};

TEST_F(ImageTest, NamedGivesTheSameObjectPerNameAndNoneWhenMissing) {
    auto active = Image::make({20, 20});
    ASSERT_TRUE(active->setName("FavouriteActive"));
    EXPECT_EQ(Image::named("FavouriteActive"), active);
    EXPECT_EQ(Image::named("FavouriteActive"), Image::named("FavouriteActive"));
    EXPECT_EQ(Image::named("FavouriteInactive"), nullptr);

    // A taken name stays with its image; an empty name gives it up.
    auto other = Image::make({20, 20});
    EXPECT_FALSE(other->setName("FavouriteActive"));
    EXPECT_EQ(Image::named("FavouriteActive"), active);
    ASSERT_TRUE(active->setName(""));
    EXPECT_EQ(Image::named("FavouriteActive"), nullptr);
    EXPECT_TRUE(other->setName("FavouriteActive"));
}

TEST_F(ImageTest, ResetForgetsEveryName) {
    auto icon = Image::make({17.6, 20});
    ASSERT_TRUE(icon->setName("SearchIcon"));
    platform::ui::testing::reset();
    EXPECT_EQ(Image::named("SearchIcon"), nullptr);
    EXPECT_EQ(icon->name(), "");
}

TEST_F(ImageTest, CopyIsUnnamedWithItsOwnPixels) {
    auto icon = Image::make({2, 1});
    ASSERT_TRUE(icon->setName("EmailIcon"));
    icon->setPixel(0, 0, {10, 20, 30, 255});
    const auto copy = icon->copy();
    EXPECT_EQ(copy->name(), "");
    EXPECT_EQ(copy->size(), icon->size());
    EXPECT_EQ(copy->pixel(0, 0), (Pixel{10, 20, 30, 255}));
    copy->setPixel(0, 0, {1, 2, 3, 4});
    EXPECT_EQ(icon->pixel(0, 0), (Pixel{10, 20, 30, 255}));
    EXPECT_EQ(Image::named("EmailIcon"), icon);
}

TEST_F(ImageTest, SourceAtopTintsOpaquePixelsAndKeepsTransparentOnesTransparent) {
    auto icon = Image::make({2, 2});
    icon->setPixel(0, 0, {255, 255, 255, 255});
    icon->setPixel(1, 0, {0, 0, 0, 0});
    icon->setPixel(0, 1, {0, 0, 0, 128});
    icon->setPixel(1, 1, {0, 255, 0, 255});
    const Color tint = Color::sRGB(245 / 255.0, 130 / 255.0, 144 / 255.0, 1.0);

    icon->fill(Rect({0, 0}, icon->size()), tint, CompositingOperation::sourceAtop);

    EXPECT_EQ(icon->pixel(0, 0), (Pixel{245, 130, 144, 255}));
    EXPECT_EQ(icon->pixel(1, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(icon->pixel(0, 1), (Pixel{245, 130, 144, 128}));
    EXPECT_EQ(icon->pixel(1, 1), (Pixel{245, 130, 144, 255}));
}

TEST_F(ImageTest, EachOperationCombinesAHalfTransparentRedAsPorterAndDuffSay) {
    struct Case {
        CompositingOperation operation;
        Pixel overOpaqueBlue;
        Pixel overNothing;
    };
    const Pixel halfRed{255, 0, 0, 128};
    const Pixel blue{0, 0, 255, 255};
    const Pixel halfBlue{0, 0, 255, 128};
    const Pixel purple{128, 0, 128, 255};
    const Pixel none{0, 0, 0, 0};
    const std::vector<Case> cases = {
        {CompositingOperation::clear, none, none},
        {CompositingOperation::copy, halfRed, halfRed},
        {CompositingOperation::sourceOver, purple, halfRed},
        {CompositingOperation::sourceIn, halfRed, none},
        {CompositingOperation::sourceOut, none, halfRed},
        {CompositingOperation::sourceAtop, purple, none},
        {CompositingOperation::destinationOver, blue, halfRed},
        {CompositingOperation::destinationIn, halfBlue, none},
        {CompositingOperation::destinationOut, halfBlue, none},
        {CompositingOperation::destinationAtop, halfBlue, halfRed},
        {CompositingOperation::exclusiveOr, halfBlue, halfRed},
    };
    for (const Case& c : cases) {
        auto image = Image::make({2, 1});
        image->setPixel(0, 0, blue);
        image->fill(Rect(0, 0, 2, 1), Color::sRGB(1, 0, 0, 0.5), c.operation);
        EXPECT_EQ(image->pixel(0, 0), c.overOpaqueBlue) << description(c.operation);
        EXPECT_EQ(image->pixel(1, 0), c.overNothing) << description(c.operation);
    }
}

TEST_F(ImageTest, FillCoversThePixelsWhoseCentresLieInTheRectangleInPoints) {
    auto image = Image::make({4, 4});
    image->fill(Rect(1, 1, 2, 2), Color::white(), CompositingOperation::copy);
    int painted = 0;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 2;
            EXPECT_EQ(image->pixel(x, y).alpha, inside ? 255 : 0) << x << "," << y;
            painted += inside;
        }
    }
    EXPECT_EQ(painted, 4);

    // Shown twice as large, the same pixels span twice as many points.
    image->setSize({8, 8});
    EXPECT_EQ(image->pixelsWide(), 4);
    image->fill(Rect(0, 0, 2, 2), Color::sRGB(1, 0, 0, 1), CompositingOperation::copy);
    EXPECT_EQ(image->pixel(0, 0), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(image->pixel(1, 1), (Pixel{255, 255, 255, 255}));
}

TEST_F(ImageTest, PixelsOutsideTheImageAreRefused) {
    auto image = Image::make({17.6, 20});
    EXPECT_EQ(image->pixelsWide(), 18);
    EXPECT_THROW(image->pixel(18, 0), std::out_of_range);
    EXPECT_THROW(image->setPixel(0, -1, {}), std::out_of_range);
}

TEST(CompositingOperation, RawValuesAreAppKits) {
    EXPECT_EQ(static_cast<int>(CompositingOperation::sourceAtop), 5);
    EXPECT_EQ(platform::ui::compositingOperationFromRaw(5), CompositingOperation::sourceAtop);
    EXPECT_EQ(platform::ui::compositingOperationFromRaw(10), CompositingOperation::exclusiveOr);
    EXPECT_FALSE(platform::ui::compositingOperationFromRaw(11).has_value());
    EXPECT_FALSE(platform::ui::compositingOperationFromRaw(-1).has_value());
}

}  // namespace

#include "RenderTestCase.hpp"

#include "platform/ui/AnimationContext.hpp"
#include "platform/render/Picture.hpp"
#include "platform/ui/Box.hpp"
#include "platform/ui/TextField.hpp"

#include <chrono>

namespace corvantis::testing {
namespace {

using namespace platform::ui;
using platform::render::OffscreenRenderer;
using namespace std::chrono_literals;

std::shared_ptr<Box> filled(Rect frame, Color color) {
    auto box = std::make_shared<Box>(frame);
    box->setFillColor(color);
    return box;
}

class ViewTreeRendererTest : public RenderTestCase {};

TEST_F(ViewTreeRendererTest, LabelTextLiesInsideItsFrameOnly) {
    auto window = whiteWindow(200, 80);
    auto label = std::make_shared<TextField>(Rect{20, 30, 120, 20});
    label->setStringValue("Connect to Frankfurt");
    label->setTextColor(Color::sRGB(0, 0, 0, 1));
    window->contentView()->addSubview(label);

    for (double scale : {1.0, 2.0}) {
        const auto picture = OffscreenRenderer(scale).draw(*window);
        const auto ink = count(picture, label->frame(), [](const Image::Pixel& p) { return !isWhite(p); });
        EXPECT_GT(ink.inside, 40) << "scale " << scale;
        EXPECT_EQ(ink.outside, 0) << "scale " << scale;
    }
}

TEST_F(ViewTreeRendererTest, HiddenAndTransparentViewsLeaveNoPixels) {
    auto window = whiteWindow(100, 100);
    auto transparent = filled({10, 10, 30, 30}, Color::sRGB(1, 0, 0, 1));
    transparent->setAlphaValue(0);
    auto hidden = filled({50, 50, 30, 30}, Color::sRGB(1, 0, 0, 1));
    hidden->setHidden(true);
    hidden->addSubview(filled({0, 0, 10, 10}, Color::sRGB(0, 0, 1, 1)));
    window->contentView()->addSubview(transparent);
    window->contentView()->addSubview(hidden);

    const auto picture = OffscreenRenderer().draw(*window);
    EXPECT_EQ(count(picture, {0, 0, 100, 100}, [](const Image::Pixel& p) { return !isWhite(p); }).inside, 0);
}

TEST_F(ViewTreeRendererTest, AlphaAppliesToAViewAndItsSubviewsAsOnePicture) {
    auto window = whiteWindow(100, 100);
    auto group = std::make_shared<View>(Rect{0, 0, 100, 100});
    group->setAlphaValue(0.5);
    group->addSubview(filled({0, 0, 60, 100}, Color::sRGB(1, 0, 0, 1)));
    group->addSubview(filled({40, 0, 60, 100}, Color::sRGB(1, 0, 0, 1)));
    window->contentView()->addSubview(group);

    const auto picture = OffscreenRenderer().draw(*window);
    const auto single = picture.pixelAt({20, 50});
    const auto overlap = picture.pixelAt({50, 50});
    EXPECT_EQ(overlap, single);
    EXPECT_NEAR(single.green, 128, 2);
    EXPECT_EQ(single.red, 255);
}

TEST_F(ViewTreeRendererTest, ZPositionOrdersSiblingsAndClicksFollowIt) {
    auto window = whiteWindow(100, 100);
    auto low = filled({0, 0, 100, 100}, Color::sRGB(0, 0, 1, 1));
    low->setWantsLayer(true);
    low->layer()->zPosition = -1;
    auto high = filled({20, 20, 60, 60}, Color::sRGB(0, 1, 0, 1));
    window->contentView()->addSubview(high);
    window->contentView()->addSubview(low);  // added last, yet below

    const auto picture = OffscreenRenderer().draw(*window);
    EXPECT_EQ(picture.pixelAt({50, 50}), (Image::Pixel{0, 255, 0, 255}));
    EXPECT_EQ(picture.pixelAt({5, 5}), (Image::Pixel{0, 0, 255, 255}));
    EXPECT_EQ(window->contentView()->hitTest({50, 50}), high.get());
}

TEST_F(ViewTreeRendererTest, FlippedViewsCountFromTheirTop) {
    class FlippedView : public View {
    public:
        using View::View;
        bool isFlipped() const override { return true; }
    };
    auto window = whiteWindow(100, 100);
    auto flipped = std::make_shared<FlippedView>(Rect{0, 0, 100, 100});
    flipped->addSubview(filled({0, 0, 100, 10}, Color::sRGB(1, 0, 0, 1)));
    window->contentView()->addSubview(flipped);

    const auto picture = OffscreenRenderer().draw(*window);
    EXPECT_EQ(picture.pixel(50, 5), (Image::Pixel{255, 0, 0, 255}));  // the top rows of the picture
    EXPECT_TRUE(isWhite(picture.pixel(50, 95)));
}

TEST_F(ViewTreeRendererTest, LayerLookRoundsCornersMasksAndDrawsABorderInside) {
    auto window = whiteWindow(100, 100);
    auto card = filled({10, 10, 80, 80}, Color::sRGB(0, 0, 1, 1));
    card->setWantsLayer(true);
    card->layer()->cornerRadius = 20;
    card->layer()->masksToBounds = true;
    card->layer()->borderWidth = 1;
    card->layer()->borderColor = Color::sRGB(1, 0, 0, 1);
    card->addSubview(filled({-10, 30, 100, 10}, Color::sRGB(0, 1, 0, 1)));  // sticks out on both sides
    window->contentView()->addSubview(card);

    const auto picture = OffscreenRenderer().draw(*window);
    EXPECT_TRUE(isWhite(picture.pixelAt({11, 11}))) << "the rounded corner is cut";
    EXPECT_TRUE(isWhite(picture.pixelAt({5, 45}))) << "the subview is clipped";
    EXPECT_EQ(picture.pixelAt({50, 10.5}), (Image::Pixel{255, 0, 0, 255})) << "the border's one row";
    EXPECT_EQ(picture.pixelAt({50, 11.5}), (Image::Pixel{0, 0, 255, 255}));
    EXPECT_EQ(picture.pixelAt({50, 9.5}), (Image::Pixel{255, 255, 255, 255}));
}

TEST_F(ViewTreeRendererTest, AFadeIsDrawnInBetweenAndTheRendererAsksForFrames) {
    auto window = whiteWindow(40, 40);
    auto box = filled({0, 0, 40, 40}, Color::sRGB(0, 0, 0, 1));
    box->setAlphaValue(0);
    window->contentView()->addSubview(box);
    platform::render::ViewTreeRenderer renderer;
    platform::render::Picture picture(40, 40, 1);

    AnimationContext::runAnimationGroup(1.0, [&] { box->animator().setAlphaValue(1); });
    time.advance(500ms);
    EXPECT_TRUE(renderer.isAnimating(*window));
    cairo_t* cr = cairo_create(picture.surface());
    renderer.render(*window, cr, 1);
    EXPECT_NEAR(picture.pixelAt({20, 20}).red, 128, 3) << "half way, eased";
    EXPECT_TRUE(renderer.needsRedraw(*window));

    time.advance(600ms);
    renderer.render(*window, cr, 1);
    cairo_destroy(cr);
    EXPECT_EQ(picture.pixelAt({20, 20}).red, 0);
    EXPECT_FALSE(renderer.isAnimating(*window));
    EXPECT_FALSE(renderer.needsRedraw(*window));
    box->setFrameOrigin({5, 5});
    EXPECT_TRUE(renderer.needsRedraw(*window));

    // A text changed by a timer, with no input and no geometry change, is drawn again too.
    auto duration = std::make_shared<TextField>(Rect{0, 0, 40, 20});
    window->contentView()->addSubview(duration);
    cr = cairo_create(picture.surface());
    renderer.render(*window, cr, 1);
    cairo_destroy(cr);
    EXPECT_FALSE(renderer.needsRedraw(*window));
    duration->setStringValue("00:00:01");
    EXPECT_TRUE(renderer.needsRedraw(*window));
}

TEST_F(ViewTreeRendererTest, ASheetHasAnEdgeAndCastsAShadowOnItsWindow) {
    auto window = whiteWindow(300, 400);
    window->makeKeyAndOrderFront();
    platform::render::ViewTreeRenderer renderer;
    platform::render::Picture before(300, 400, 1);
    cairo_t* cr = cairo_create(before.surface());
    renderer.render(*window, cr, 1);
    cairo_destroy(cr);
    EXPECT_TRUE(isWhite(before.pixelAt({150, 248.5})));

    auto sheet = whiteWindow(300, 150);
    window->beginSheet(sheet, nullptr);
    EXPECT_TRUE(renderer.needsRedraw(*window)) << "the shadow is new";
    const auto picture = OffscreenRenderer(1).draw(*window);
    // Points count upwards from the bottom: the sheet covers the top 150.
    const auto below = picture.pixelAt({150, 248.5});
    EXPECT_LT(below.red, 235) << "shaded just under the sheet";
    EXPECT_GT(below.red, 150) << "softly";
    EXPECT_TRUE(isWhite(picture.pixelAt({150, 229.5}))) << "the shadow fades out";

    const auto drawn = OffscreenRenderer(1).draw(*sheet);
    const auto edge = Image::Pixel{153, 153, 158, 255};
    EXPECT_EQ(drawn.pixelAt({150, 0.5}), edge) << "the bottom";
    EXPECT_EQ(drawn.pixelAt({0.5, 75}), edge) << "the left side";
    EXPECT_EQ(drawn.pixelAt({299.5, 75}), edge) << "the right side";
    EXPECT_TRUE(isWhite(drawn.pixelAt({150, 149.5}))) << "no edge where it hangs from its window";
    EXPECT_TRUE(isWhite(drawn.pixelAt({150, 75})));
}

}  // namespace
}  // namespace corvantis::testing

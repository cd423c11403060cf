#include "RenderTestCase.hpp"

#include "StatusPopup/StatusPopupBackgroundView.hpp"
#include "app/SearchView.hpp"

namespace corvantis::testing {
namespace {

using namespace platform::ui;
using platform::render::OffscreenRenderer;

class PopupPictureTest : public RenderTestCase {};

TEST_F(PopupPictureTest, TheArrowTipStandsAtArrowXAndOnlyTheShapeIsFilled) {
    auto window = std::make_shared<Window>(Rect{0, 0, 300, 408});
    window->setBackgroundColor(Color::clear());
    window->setOpaque(false);
    auto background = std::make_shared<StatusPopupBackgroundView>();
    background->backgroundColor = Color::white();
    background->setArrowX(212);
    window->setContentView(background);

    for (double scale : {1.0, 2.0}) {
        const auto picture = OffscreenRenderer(scale).draw(*window);
        const auto white = Image::Pixel{255, 255, 255, 255};
        EXPECT_EQ(picture.pixelAt({150, 200}), white) << "inside the body";
        EXPECT_EQ(picture.pixelAt({212, 400.5}), white) << "inside the arrow";
        EXPECT_GT(picture.pixelAt({212, 406}).alpha, 100) << "near the tip";
        EXPECT_EQ(picture.pixelAt({205, 406}).alpha, 0) << "beside the tip";
        EXPECT_EQ(picture.pixelAt({219, 406}).alpha, 0) << "beside the tip";
        EXPECT_EQ(picture.pixelAt({150, 404}).alpha, 0) << "the strip above the body";
        EXPECT_LT(picture.pixelAt({0.2, 0.2}).alpha, 16) << "the rounded corner";
    }
}

TEST_F(PopupPictureTest, AnArrowAtTheBodysEndLeansTowardsItsTipInsteadOfBeingCut) {
    // The icon at the screen's right edge: the tip 3 points from the panel's right edge.
    auto window = std::make_shared<Window>(Rect{0, 0, 300, 408});
    window->setBackgroundColor(Color::clear());
    window->setOpaque(false);
    auto background = std::make_shared<StatusPopupBackgroundView>();
    background->backgroundColor = Color::white();
    background->setArrowX(297);
    window->setContentView(background);

    const auto picture = OffscreenRenderer(2).draw(*window);
    EXPECT_GT(picture.pixelAt({296.75, 406.5}).alpha, 100) << "near the tip";
    // Its base is 12 points wide, whole, where the top edge runs straight: from x 285 to 297.
    for (const double x : {286.0, 291.0, 296.0}) EXPECT_EQ(picture.pixelAt({x, 400.25}).alpha, 255) << "the base at " << x;
    EXPECT_EQ(picture.pixelAt({283.5, 401}).alpha, 0) << "beside the base";
}

TEST_F(PopupPictureTest, TheSearchBarsBorderIsOnePixelFromTheFirstDrawAndStaysSo) {
    auto window = whiteWindow(120, 40);
    window->contentView()->addSubview(std::make_shared<SearchView>(Rect{10, 5, 100, 30}));
    platform::render::ViewTreeRenderer renderer;
    platform::render::Picture picture(120, 40, 1);
    cairo_t* cr = cairo_create(picture.surface());
    for (int draw = 1; draw <= 2; ++draw) {
        renderer.render(*window, cr, 1);
        const auto border = Image::Pixel{213, 213, 213, 255};
        EXPECT_EQ(picture.pixelAt({60, 34.5}), border) << "draw " << draw;
        EXPECT_EQ(picture.pixelAt({60, 5.5}), border) << "draw " << draw;
        EXPECT_EQ(picture.pixelAt({10.5, 20}), border) << "draw " << draw;
        EXPECT_TRUE(isWhite(picture.pixelAt({60, 33.5}))) << "draw " << draw;
        EXPECT_TRUE(isWhite(picture.pixelAt({11.5, 20}))) << "draw " << draw;
        EXPECT_TRUE(isWhite(picture.pixelAt({60, 35.5}))) << "draw " << draw;
    }
    cairo_destroy(cr);
}

}  // namespace
}  // namespace corvantis::testing

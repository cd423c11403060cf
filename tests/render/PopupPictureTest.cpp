#include "RenderTestCase.hpp"

#include "StatusPopup/StatusPopupBackgroundView.hpp"

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

}  // namespace
}  // namespace corvantis::testing

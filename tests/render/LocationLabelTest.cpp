#include "RenderTestCase.hpp"

#include "app/ConnectView.hpp"
#include "app/MainWindow.hpp"
#include "platform/ui/Storyboard.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/ViewController.hpp"

#include <algorithm>

namespace corvantis::testing {
namespace {

using namespace platform::ui;
using platform::render::OffscreenRenderer;

class LocationLabelTest : public RenderTestCase {};

TEST_F(LocationLabelTest, TheLabelSizedFromItsMeasuredTextHoldsTheDrawnTextBeforeTheArrow) {
    const auto controller = registerMainStoryboard()->instantiateController("connectViewController");
    const auto connect = std::dynamic_pointer_cast<ConnectView>(controller ? controller->view() : nullptr);
    ASSERT_TRUE(connect);
    auto window = whiteWindow(300, 400);
    window->contentView()->addSubview(connect);

    for (const char* city : {"Frankfurt", "Los Angeles", "Hong Kong 2"}) {
        connect->lblLocation->setStringValue(city);
        connect->lblLocation->setTextColor(Color::sRGB(0, 0, 0, 1));
        connect->alignLocationLabel();
        const Rect label = connect->lblLocation->convert(connect->lblLocation->bounds(), nullptr);
        const Rect arrow = connect->imgLocationArrow->convert(connect->imgLocationArrow->bounds(), nullptr);
        connect->imgLocationArrow->setHidden(true);
        connect->imgLocationIcon->setHidden(true);
        connect->btnLocation->cell()->setBackgroundColor(std::nullopt);

        for (double scale : {1.0, 2.0}) {
            const auto picture = OffscreenRenderer(scale).draw(*window);
            // The label's own ink: black pixels in the location button's row.
            double right = 0;
            for (int row = 0; row < picture.pixelsHigh(); ++row) {
                for (int x = 0; x < picture.pixelsWide(); ++x) {
                    const auto p = picture.pixel(x, row);
                    const Point at{(x + 0.5) / scale, (picture.pixelsHigh() - row - 0.5) / scale};
                    if (p.alpha > 0 && p.red < 128 && p.red == p.blue && label.minY() - 2 < at.y && at.y < label.maxY() + 2) {
                        right = std::max(right, at.x);
                    }
                }
            }
            EXPECT_LE(right, arrow.minX()) << city << " at " << scale << ": no letter under the arrow";
            EXPECT_GT(right, label.maxX() - 4 - 3) << city << " at " << scale << ": the label is not wider than its text needs";
        }
        connect->imgLocationArrow->setHidden(false);
        connect->imgLocationIcon->setHidden(false);
    }
}

}  // namespace
}  // namespace corvantis::testing

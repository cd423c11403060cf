#include "app/LocationButtonCell.hpp"

#include <cmath>

namespace corvantis {

platform::ui::Rect LocationButtonCell::drawTitle(platform::ui::GraphicsContext& context,
                                                 const platform::ui::AttributedString& title, const platform::ui::Rect& frame,
                                                 platform::ui::View& controlView) {
    return ButtonCell::drawTitle(context, title, titleFrame(title.size().width, frame), controlView);
}

platform::ui::Rect LocationButtonCell::titleFrame(double titleWidth, platform::ui::Rect frame) {
    const double needed = std::trunc(titleWidth) + 20;
    if (std::trunc(frame.size.width) < needed) frame.size.width = needed;
    frame.size.height -= 1.0;
    return frame;
}

}  // namespace corvantis

#pragma once

#include "platform/ui/ButtonCell.hpp"

namespace corvantis {

// The location button's cell: its title gets room for the whole city name, in a frame one point less high.
class LocationButtonCell : public platform::ui::ButtonCell {
public:
    platform::ui::Rect drawTitle(platform::ui::GraphicsContext& context, const platform::ui::AttributedString& title,
                                 const platform::ui::Rect& frame, platform::ui::View& controlView) override;

    // The frame the title is drawn in, for a title `titleWidth` points wide offered `frame`: at
    // least the title's whole points plus 20 wide, and one point less high.
    static platform::ui::Rect titleFrame(double titleWidth, platform::ui::Rect frame);
};

}  // namespace corvantis

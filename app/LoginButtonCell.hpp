#pragma once

#include "platform/ui/ButtonCell.hpp"

namespace corvantis {

// The "Log in" button's cell: its title is drawn white and centred in the screens' face at
// 14 pt, whatever the title's own attributes, a little above the middle.
class LoginButtonCell : public platform::ui::ButtonCell {
public:
    platform::ui::Rect drawTitle(platform::ui::GraphicsContext& context, const platform::ui::AttributedString& title,
                                 const platform::ui::Rect& frame, platform::ui::View& controlView) override;
};

}  // namespace corvantis

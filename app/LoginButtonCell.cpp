#include "app/LoginButtonCell.hpp"

#include "platform/ui/Font.hpp"

namespace corvantis {

platform::ui::Rect LoginButtonCell::drawTitle(platform::ui::GraphicsContext& context, const platform::ui::AttributedString& title,
                                              const platform::ui::Rect& frame, platform::ui::View& controlView) {
    using namespace platform::ui;
    // Without the face the title keeps no font of its own rather than falling back.
    const TextAttributes attributes{Font::named("Montserrat-Medium", 14.0), Color::white(), ParagraphStyle{TextAlignment::center},
                                    std::nullopt};
    const Rect raised(frame.origin, Size{frame.size.width, frame.size.height - 5.0});
    return ButtonCell::drawTitle(context, AttributedString(title.string(), attributes), raised, controlView);
}

}  // namespace corvantis

#include "app/ConnectButton.hpp"

#include "platform/ui/AttributedString.hpp"
#include "platform/ui/Image.hpp"

namespace corvantis {

void ConnectButton::resetCursorRects() {
    if (cursor) addCursorRect(bounds(), cursor);
}

void ConnectButton::setDisconnected() {
    isConnected = false;
    setBackgroundImage();
}

void ConnectButton::setBackgroundImage() {
    if (isConnected) return;
    setTitle("Connect", platform::ui::Color::systemGray());
    setImage(platform::ui::Image::named("Connect Button"));
}

void ConnectButton::setTitle(std::string_view title, const platform::ui::Color& color) {
    platform::ui::TextAttributes attributes;
    attributes.font = platform::ui::Font::system(12, platform::ui::Font::weightThin);
    attributes.foregroundColor = color;
    attributes.paragraphStyle = platform::ui::ParagraphStyle{platform::ui::TextAlignment::center};
    setAttributedTitle(platform::ui::AttributedString(std::string(title), attributes));
}

}  // namespace corvantis

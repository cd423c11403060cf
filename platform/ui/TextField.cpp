#include "platform/ui/TextField.hpp"

#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/Window.hpp"

#include <stdexcept>

namespace platform::ui {

namespace {
constexpr std::string_view returnKey = "\r";
constexpr std::string_view enterKey = "\x03";
constexpr std::string_view tabKey = "\t";
constexpr std::string_view escapeKey = "\x1b";
constexpr std::string_view backspaceKey = "\x7f";
constexpr std::string_view forwardDeleteKey = "\xEF\x9C\xA8";  // U+F728

// Text that types itself: no control characters and none of the function-key code points
// (U+F700 to U+F8FF, which AppKit uses for arrows and the like).
bool isPrintable(std::string_view characters) {
    if (characters.empty()) return false;
    for (std::size_t at = 0; at < characters.size(); ++at) {
        const auto byte = static_cast<unsigned char>(characters[at]);
        if (byte < 0x20 || byte == 0x7f) return false;
        // U+F700–U+F8FF is EF 9C 80 to EF A3 BF in UTF-8.
        if (byte == 0xEF && at + 1 < characters.size()) {
            const auto next = static_cast<unsigned char>(characters[at + 1]);
            if (next >= 0x9C && next <= 0xA3) return false;
        }
    }
    return true;
}

// The characters of `text`, one UTF-8 sequence each.
std::vector<std::string_view> characters(std::string_view text) {
    std::vector<std::string_view> split;
    std::size_t start = 0;
    for (std::size_t at = 1; at <= text.size(); ++at) {
        if (at == text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
            split.push_back(text.substr(start, at - start));
            start = at;
        }
    }
    return split;
}
}  // namespace

TextField::TextField(Rect frame) : Control(frame) {
    registerEditingActions();
}

void TextField::registerEditingActions() {
    setActionHandler("copy:", [this](Object*) {
        if (!allowsCopying() || selectedRange().length == 0) return;
        const auto board = Pasteboard::general();
        board->clearContents();
        board->setString(text_.selectedText());
    });
    setActionHandler("cut:", [this](Object*) {
        if (!allowsCopying() || !editable_ || selectedRange().length == 0) return;
        perform("copy:", this);
        edited(text_.replaceSelection({}));
    });
    setActionHandler("paste:", [this](Object*) {
        const auto& pasted = Pasteboard::general()->string();
        if (editable_ && pasted) edited(text_.replaceSelection(*pasted));
    });
    setActionHandler("undo:", [this](Object*) {
        if (editable_) edited(text_.undo());
    });
    setActionHandler("redo:", [this](Object*) {
        if (editable_) edited(text_.redo());
    });
    setActionHandler("selectAll:", [this](Object*) { text_.selectAll(); });
}

void TextField::edited(bool changed) {
    if (!changed) return;
    setNeedsDisplay(true);
    if (auto listener = delegate()) listener->controlTextDidChange(*this);
}

bool TextField::acceptsFirstResponder() const {
    return isEnabled() && isSelectable();
}

bool TextField::becomeFirstResponder() {
    editing_ = true;
    text_.selectAll();
    return true;
}

bool TextField::resignFirstResponder() {
    if (!editing_) return true;
    editing_ = false;
    if (auto listener = delegate()) listener->controlTextDidEndEditing(*this);
    return true;
}

void TextField::keyDown(const Event& event) {
    const auto modifiers = event.modifierFlags() & ModifierFlags::deviceIndependentFlagsMask;
    const std::string_view key = event.characters();
    if (!editing_ || (modifiers & (ModifierFlags::command | ModifierFlags::control)) != 0) {
        Control::keyDown(event);
    } else if (key == returnKey || key == enterKey) {
        sendAction(action(), target());
    } else if (key == tabKey) {
        if (Window* host = window()) host->selectKeyViewFollowingView(*this);
    } else if (key == escapeKey) {
        cancelOperation(this);
    } else if (key == backspaceKey) {
        if (editable_) edited(text_.deleteBackward());
    } else if (key == forwardDeleteKey) {
        if (editable_) edited(text_.deleteForward());
    } else if (isPrintable(key)) {
        if (editable_) edited(text_.insert(key));
    } else {
        Control::keyDown(event);
    }
}

void TextField::mouseDown(const Event& event) {
    Window* host = window();
    if (!acceptsFirstResponder() || host == nullptr) {
        // Labels leave clicks to what lies behind them.
        Responder::mouseDown(event);
        return;
    }
    if (host->firstResponder().get() != this && host->makeFirstResponder(sharedView())) {
        text_.setSelectedRange({stringValue().size(), 0});
    }
}

void TextField::mouseUp(const Event& event) {
    if (!acceptsFirstResponder()) Responder::mouseUp(event);
}

void TextField::type(std::string_view text) {
    Window* host = window();
    if (host == nullptr) throw std::logic_error("TextField::type: the field is not in a window");
    if (!editing_) click();
    const auto shared = host->sharedWindow();
    for (const std::string_view character : characters(text)) {
        Application::shared().sendEvent(Event::keyEvent(EventType::keyDown, shared, std::string(character)));
        Application::shared().sendEvent(Event::keyEvent(EventType::keyUp, shared, std::string(character)));
    }
}

void TextField::draw(GraphicsContext& context, const Rect&) {
    drawText(context, bounds());
}

void TextField::drawText(GraphicsContext& context, const Rect& rect) const {
    std::optional<ParagraphStyle> paragraph;
    if (alignment_ != TextAlignment::natural) paragraph = ParagraphStyle{alignment_};
    if (!text_.string().empty()) {
        context.draw(AttributedString(displayedString(), {font(), textColor_, paragraph, std::nullopt}), rect);
    } else if (attributedPlaceholder_) {
        context.draw(*attributedPlaceholder_, rect);
    } else if (!placeholder_.empty()) {
        context.draw(AttributedString(placeholder_, {font(), Color::systemGray(), paragraph, std::nullopt}), rect);
    }
}

}  // namespace platform::ui

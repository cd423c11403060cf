#include "platform/ui/TextField.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/ui/Appearance.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/TextMeasurer.hpp"
#include "platform/ui/Window.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace platform::ui {

namespace {
constexpr std::string_view returnKey = "\r";
constexpr std::string_view enterKey = "\x03";
constexpr std::string_view tabKey = "\t";
constexpr std::string_view escapeKey = "\x1b";
constexpr std::string_view backspaceKey = "\x7f";
constexpr std::string_view forwardDeleteKey = "\xEF\x9C\xA8";  // U+F728
// AppKit's function-key code points: U+F700 to U+F703 and U+F729, U+F72B.
constexpr std::string_view upKey = "\xEF\x9C\x80";
constexpr std::string_view downKey = "\xEF\x9C\x81";
constexpr std::string_view leftKey = "\xEF\x9C\x82";
constexpr std::string_view rightKey = "\xEF\x9C\x83";
constexpr std::string_view homeKey = "\xEF\x9C\xA9";
constexpr std::string_view endKey = "\xEF\x9C\xAB";

constexpr std::array<std::pair<std::string_view, std::string_view>, 5> editingShortcuts{{
    {"a", "selectAll:"},
    {"c", "copy:"},
    {"x", "cut:"},
    {"v", "paste:"},
    {"z", "undo:"},
}};

constexpr double disabledAlpha = 0.4;
constexpr double caretWidth = 1;
// Between the insertion point and the placeholder of an empty field.
constexpr double placeholderGap = 2;
constexpr double bezelInset = 5;

const Color& bezelColor() {
    static const Color grey = Color::sRGB(0.72, 0.72, 0.74, 1.0);
    return grey;
}

dispatch::TimePoint now() {
    return Services::current().clock()->now();
}

// The selection's colour: the accent's light tint in the key window, grey elsewhere.
Color selectionColor(bool keyWindow) {
    return keyWindow ? Color::sRGB(0.70, 0.82, 1.0, 1.0) : Color::sRGB(0.86, 0.86, 0.86, 1.0);
}

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
    setActionHandler("selectAll:", [this](Object*) {
        text_.selectAll();
        restartBlink();
    });
}

void TextField::edited(bool changed) {
    restartBlink();
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
    restartBlink();
    return true;
}

bool TextField::resignFirstResponder() {
    if (!editing_) return true;
    editing_ = false;
    stopBlink();
    if (auto listener = delegate()) listener->controlTextDidEndEditing(*this);
    return true;
}

void TextField::keyDown(const Event& event) {
    const auto modifiers = event.modifierFlags() & ModifierFlags::deviceIndependentFlagsMask;
    const std::string_view key = event.characters();
    if (!editing_) {
        Control::keyDown(event);
    } else if (performCaretKey(key, modifiers) || performEditingShortcut(event, modifiers)) {
        setNeedsDisplay(true);
    } else if ((modifiers & (ModifierFlags::command | ModifierFlags::control)) != 0) {
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

bool TextField::performCaretKey(std::string_view key, std::uint64_t modifiers) {
    // Only Shift and Command count; the arrows may carry keypad or function flags.
    const std::uint64_t held =
        modifiers & (ModifierFlags::shift | ModifierFlags::command | ModifierFlags::control | ModifierFlags::option);
    const bool extend = (held & ModifierFlags::shift) != 0;
    const bool byWord = (held & ModifierFlags::command) != 0;
    if ((held & ~(ModifierFlags::shift | ModifierFlags::command)) != 0) return false;
    const std::size_t caret = text_.caret();
    const TextRange selection = text_.selectedRange();
    if ((key == backspaceKey || key == forwardDeleteKey) && byWord && !extend) {
        if (editable_) edited(key == backspaceKey ? text_.deleteWordBackward() : text_.deleteWordForward());
        return true;
    }
    if (key == leftKey || key == rightKey) {
        const bool left = key == leftKey;
        if (!extend && !byWord && selection.length > 0) {
            // An arrow ends a selection at its own side.
            text_.moveCaret(left ? selection.location : selection.end(), false);
        } else if (byWord) {
            text_.moveCaret(left ? text_.wordStartBefore(caret) : text_.wordEndAfter(caret), extend);
        } else {
            text_.moveCaret(left ? text_.characterBefore(caret) : text_.characterAfter(caret), extend);
        }
    } else if (key == homeKey || key == upKey) {
        text_.moveCaret(0, extend);
    } else if (key == endKey || key == downKey) {
        text_.moveCaret(stringValue().size(), extend);
    } else {
        return false;
    }
    restartBlink();
    return true;
}

bool TextField::performEditingShortcut(const Event& event, std::uint64_t modifiers) {
    const std::string& key = event.charactersIgnoringModifiers();
    if (modifiers == (ModifierFlags::command | ModifierFlags::shift) && key == "Z") return perform("redo:", this);
    if (modifiers != ModifierFlags::command) return false;
    for (const auto& [letter, editing] : editingShortcuts) {
        if (key == letter) return perform(std::string(editing), this);
    }
    return false;
}

void TextField::mouseDown(const Event& event) {
    Window* host = window();
    if (!acceptsFirstResponder() || host == nullptr) {
        // Labels leave clicks to what lies behind them.
        Responder::mouseDown(event);
        return;
    }
    const bool wasEditing = host->firstResponder().get() == this;
    if (!wasEditing && !host->makeFirstResponder(sharedView())) return;
    const std::size_t index = indexAt(convertFrom(event.locationInWindow(), nullptr).x);
    if (event.clickCount() >= 3) {
        text_.selectAll();
    } else if (event.clickCount() == 2) {
        text_.selectWord(index);
    } else {
        const bool extend = wasEditing && (event.modifierFlags() & ModifierFlags::shift) != 0;
        text_.moveCaret(index, extend);
    }
    restartBlink();
    setNeedsDisplay(true);
}

void TextField::mouseDragged(const Event& event) {
    if (!editing_) {
        Control::mouseDragged(event);
        return;
    }
    text_.moveCaret(indexAt(convertFrom(event.locationInWindow(), nullptr).x), true);
    restartBlink();
    setNeedsDisplay(true);
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

// ---- The insertion point

bool TextField::showsInsertionPoint() const {
    const Window* host = window();
    return editing_ && caretShown_ && isEnabled() && text_.selectedRange().length == 0 && host != nullptr && host->isKeyWindow();
}

void TextField::restartBlink() {
    if (!editing_) return;
    caretShown_ = true;
    lastInput_ = now();
    if (blinkTimer_ && blinkTimer_->isValid()) return;  // it takes up the new phase when it fires
    const std::weak_ptr<TextField> self = std::static_pointer_cast<TextField>(sharedView());
    blinkTimer_ = dispatch::Timer::scheduledTimer(caretOnTime, false, [self](dispatch::Timer&) {
        if (const auto field = self.lock()) field->blink();
    });
}

void TextField::stopBlink() {
    if (blinkTimer_) blinkTimer_->invalidate();
    blinkTimer_.reset();
    caretShown_ = true;
    setNeedsDisplay(true);
}

void TextField::blink() {
    blinkTimer_.reset();
    if (!editing_) return;
    const auto since = now() - lastInput_;
    if (since >= caretBlinkTimeout) {
        // Left alone, the insertion point stays shown and costs no more wake-ups.
        caretShown_ = true;
        setNeedsDisplay(true);
        return;
    }
    // Phases run from the last input: shown for the on time, hidden for the off time, and so on.
    const auto cycle = caretOnTime + caretOffTime;
    const auto into = since % cycle;
    caretShown_ = into < caretOnTime;
    const auto next = caretShown_ ? caretOnTime - into : cycle - into;
    setNeedsDisplay(true);
    const std::weak_ptr<TextField> self = std::static_pointer_cast<TextField>(sharedView());
    blinkTimer_ = dispatch::Timer::scheduledTimer(next, false, [self](dispatch::Timer&) {
        if (const auto field = self.lock()) field->blink();
    });
}

// ---- Drawing

TextAttributes TextField::textAttributes() const {
    std::optional<ParagraphStyle> paragraph;
    if (alignment_ != TextAlignment::natural) paragraph = ParagraphStyle{alignment_};
    return {font(), textColor_, paragraph, std::nullopt};
}

double TextField::widthOf(std::string_view text) const {
    return text.empty() ? 0 : TextMeasurer::sizeOf(displayedString(text), textAttributes()).width;
}

void TextField::drawLine(GraphicsContext& context, std::string_view text, const Rect& box) const {
    context.draw(AttributedString(displayedString(text), textAttributes()), box);
}

TextField::Line TextField::lineIn(const Rect& rect) const {
    const std::string& text = text_.string();
    const auto shown = text.empty() && attributedPlaceholder_
                           ? attributedPlaceholder_->size()
                           : TextMeasurer::sizeOf(text.empty() ? "X" : displayedString(text), textAttributes());
    const double width = widthOf(text);
    double origin = rect.minX();
    if (alignment_ == TextAlignment::center) origin = rect.midX() - width / 2;
    if (alignment_ == TextAlignment::right) origin = rect.maxX() - width;
    if (editing_) {
        // Scrolled so that the insertion point stays inside the field; a field whose whole text is
        // selected (as it is when entered) shows the text's start.
        const TextRange selection = text_.selectedRange();
        const bool all = selection.location == 0 && selection.length == text.size();
        const double caret = origin + widthOf(std::string_view(text).substr(0, all ? 0 : text_.caret()));
        if (caret > rect.maxX() - caretWidth) origin -= caret - (rect.maxX() - caretWidth);
        if (caret < rect.minX()) origin += rect.minX() - caret;
    }
    return {origin, Rect(origin, rect.midY() - shown.height / 2, width, shown.height)};
}

std::size_t TextField::indexAt(double x) const {
    const std::string& text = text_.string();
    const double origin = lineIn(textRect()).originX;
    std::size_t best = 0;
    double bestDistance = std::abs(x - origin);
    for (std::size_t index = 0; index < text.size();) {
        index = text_.characterAfter(index);
        const double distance = std::abs(x - (origin + widthOf(std::string_view(text).substr(0, index))));
        if (distance < bestDistance) {
            best = index;
            bestDistance = distance;
        }
    }
    return best;
}

Rect TextField::textRect() const {
    const Rect all = bounds();
    return bezeled_ ? Rect(all.minX() + bezelInset, all.minY(), all.width() - 2 * bezelInset, all.height()) : all;
}

void TextField::draw(GraphicsContext& context, const Rect&) {
    if (bezeled_) {
        const Rect all = bounds();
        context.fill(all, Color::white(), CompositingOperation::sourceOver);
        BezierPath border;
        border.moveTo({all.minX() + 0.5, all.minY() + 0.5});
        border.lineTo({all.maxX() - 0.5, all.minY() + 0.5});
        border.lineTo({all.maxX() - 0.5, all.maxY() - 0.5});
        border.lineTo({all.minX() + 0.5, all.maxY() - 0.5});
        border.closePath();
        context.stroke(border, editing_ ? Appearance::current().accentColor : bezelColor());
    }
    drawText(context, textRect());
}

void TextField::drawText(GraphicsContext& context, const Rect& rect) const {
    const std::string& text = text_.string();
    if (!isEnabled()) context.beginTransparencyLayer(disabledAlpha);
    if (!editable_ && !text.empty()) {
        // A label wraps; its lines sit as one block in the middle of the rectangle, or from its
        // top when they need more.
        const double height = TextMeasurer::wrappedSizeOf(displayedString(text), textAttributes(), rect.width()).height;
        const double top = std::min(rect.maxY(), rect.midY() + height / 2);
        context.draw(AttributedString(displayedString(text), textAttributes()),
                     Rect(rect.minX(), rect.minY(), rect.width(), top - rect.minY()));
    } else {
        const Line line = lineIn(rect);
        const bool overflows = line.box.minX() < rect.minX() || line.box.maxX() > rect.maxX();
        if (overflows) {
            context.saveGraphicsState();
            context.clip(rect);
        }
        const TextRange selection = text_.selectedRange();
        const Window* host = window();
        if (editing_ && selection.length > 0) {
            const double from = line.originX + widthOf(std::string_view(text).substr(0, selection.location));
            const double to = line.originX + widthOf(std::string_view(text).substr(0, selection.end()));
            context.fill(Rect(from, line.box.minY(), to - from, line.box.height()),
                         selectionColor(host != nullptr && host->isKeyWindow()), CompositingOperation::sourceOver);
        }
        // Drawn a point wider than measured, so that rounding never wraps the line.
        const Rect box(line.box.minX(), line.box.minY(), line.box.width() + 1, line.box.height());
        // The insertion point of an empty field is where its placeholder starts: the placeholder
        // moves aside for it.
        const double aside = editing_ && alignment_ != TextAlignment::center && alignment_ != TextAlignment::right
                                 ? caretWidth + placeholderGap
                                 : 0;
        const Rect placeholderBox(rect.minX() + aside, box.minY(), rect.width() - aside, box.height());
        if (!text.empty()) {
            drawLine(context, text, box);
        } else if (attributedPlaceholder_) {
            context.draw(*attributedPlaceholder_, placeholderBox);
        } else if (!placeholder_.empty()) {
            auto attributes = textAttributes();
            attributes.foregroundColor = Color::systemGray();
            context.draw(AttributedString(placeholder_, attributes), placeholderBox);
        }
        if (showsInsertionPoint()) {
            const double x = std::round(line.originX + widthOf(std::string_view(text).substr(0, text_.caret())));
            context.fill(Rect(std::min(x, rect.maxX() - caretWidth), line.box.minY(), caretWidth, line.box.height()), textColor_,
                         CompositingOperation::sourceOver);
        }
        if (overflows) context.restoreGraphicsState();
    }
    if (!isEnabled()) context.endTransparencyLayer();
}

}  // namespace platform::ui

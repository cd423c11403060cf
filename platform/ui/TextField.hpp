#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/ui/AttributedString.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/Control.hpp"
#include "platform/ui/EditableText.hpp"
#include "platform/ui/ParagraphStyle.hpp"
#include "platform/ui/TextFieldDelegate.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::dispatch {
class Timer;
}

namespace platform::ui {

// A line of text: a label, or a field a person edits once it is the first responder of its
// window (clicking it, or Tab from the view before it, gets it there; Tab selects all of its
// text, a click puts the insertion point where it lands, a double click selects a word and a
// triple click everything; a drag selects).
//
// While editing, printable keys replace the selection, Backspace and Delete delete, Return sends the
// field's action, Tab moves on to the next key view and Escape sends `cancelOperation` up the
// responder chain. The arrow keys, Home and End move the insertion point (Up and Down to the ends),
// with Shift they extend the selection and with Command (Control on Linux) they move by words;
// Command-Backspace and Command-Delete delete a word. Command-A, -C, -X, -V, -Z and
// Command-Shift-Z perform "selectAll:", "copy:", "cut:", "paste:", "undo:" and "redo:", as an
// application's Edit menu does; other keys with Command or Control go on up the chain unread.
// The field performs those editing actions through the general pasteboard and its own undo history.
//
// A field being edited in the key window shows its selection and, while nothing is selected, a
// blinking insertion point (on 0.8 s, off 0.4 s, steady after 10 s without input, as desktops
// do). Single-line text and the placeholder are centred vertically in the field, wrapped label
// text as a block; a field's own text scrolls to keep the insertion point in view (its start
// while all of it is selected). While an empty field is edited its placeholder starts just
// after the insertion point. A disabled field is drawn faded, without an insertion point.
class TextField : public Control {
public:
    explicit TextField(Rect frame = {});

    const std::string& stringValue() const { return text_.string(); }
    // Replaces the text; the delegate is not told, and the undo history is forgotten.
    void setStringValue(std::string value) { text_.setString(std::move(value)); }
    const std::string& placeholderString() const { return placeholder_; }
    void setPlaceholderString(std::string placeholder) { placeholder_ = std::move(placeholder); }
    const std::optional<AttributedString>& placeholderAttributedString() const { return attributedPlaceholder_; }
    void setPlaceholderAttributedString(std::optional<AttributedString> placeholder) {
        attributedPlaceholder_ = std::move(placeholder);
    }
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& color) { textColor_ = color; }
    // How the text and the placeholder sit in the field's width.
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment alignment) { alignment_ = alignment; }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable) { editable_ = editable; }
    bool isSelectable() const { return selectable_ || editable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    // A bezeled field is drawn as a white box with a thin border (in the accent colour while it is
    // edited), its text a little in from the sides.
    bool isBezeled() const { return bezeled_; }
    void setBezeled(bool bezeled) { bezeled_ = bezeled; }

    // Held weakly.
    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TextFieldDelegate>& delegate) { delegate_ = delegate; }

    TextRange selectedRange() const { return text_.selectedRange(); }
    void setSelectedRange(TextRange range) { text_.setSelectedRange(range); }
    // Whether the field is being edited: it is the first responder of its window.
    bool isEditing() const { return editing_; }
    // Whether the insertion point is drawn now (enabled, editing in the key window, nothing
    // selected, and in the visible phase of its blink).
    bool showsInsertionPoint() const;

    // How long the insertion point is shown and hidden in a blink, and how long after the last
    // input it stops blinking.
    static constexpr dispatch::Duration caretOnTime = std::chrono::milliseconds(800);
    static constexpr dispatch::Duration caretOffTime = std::chrono::milliseconds(400);
    static constexpr dispatch::Duration caretBlinkTimeout = std::chrono::seconds(10);

    // A person typing `text`: the field is clicked first unless it is already being edited,
    // then each character goes through the application as a key press. "\t", "\r", "\x1b" and
    // "\x7f" type Tab, Return, Escape and Backspace. A field outside a window cannot be typed
    // into: std::logic_error.
    void type(std::string_view text);

    bool acceptsFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void keyDown(const Event& event) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    void draw(GraphicsContext& context, const Rect& dirtyRect) override;

protected:
    // Whether the text may leave the field through the pasteboard.
    virtual bool allowsCopying() const { return true; }
    // A piece of the field's text as drawn.
    virtual std::string displayedString(std::string_view text) const { return std::string(text); }
    // How wide a piece of the field's single line of text is drawn.
    virtual double widthOf(std::string_view text) const;
    // Draws the field's single line of `text` in `box`.
    virtual void drawLine(GraphicsContext& context, std::string_view text, const Rect& box) const;
    TextAttributes textAttributes() const;
    // Draws the text, or the placeholder while there is none, in `rect`, with the selection and the
    // insertion point while the field is being edited. Clicks find their place in the same `rect`.
    void drawText(GraphicsContext& context, const Rect& rect) const;
    // Where the text goes in the field's bounds: all of them, in from the sides when bezeled,
    // unless a kind of field keeps room.
    virtual Rect textRect() const;

private:
    // Where the single line of an editable field lies in `rect`: its left end and its box.
    struct Line {
        double originX;
        Rect box;
    };

    void registerEditingActions();
    // Applies a person's edit and tells the delegate when the text changed.
    void edited(bool changed);
    // The arrow keys, Home and End, and the word deletions; false for any other key.
    bool performCaretKey(std::string_view key, std::uint64_t modifiers);
    // Command-A, -C, -X, -V, -Z and Command-Shift-Z; false for any other key.
    bool performEditingShortcut(const Event& event, std::uint64_t modifiers);
    // The caret moved or the text changed: shown at once, blinking anew.
    void restartBlink();
    void stopBlink();
    void blink();

    Line lineIn(const Rect& rect) const;
    // The character boundary nearest to `x` (field coordinates).
    std::size_t indexAt(double x) const;

    EditableText text_;
    std::string placeholder_;
    std::optional<AttributedString> attributedPlaceholder_;
    TextAlignment alignment_ = TextAlignment::natural;
    Color textColor_ = Color::calibratedWhite(0, 1);
    bool editable_ = true;
    bool selectable_ = true;
    bool editing_ = false;
    bool bezeled_ = false;
    std::weak_ptr<TextFieldDelegate> delegate_;
    bool caretShown_ = true;
    dispatch::TimePoint lastInput_{};
    std::shared_ptr<dispatch::Timer> blinkTimer_;
};

}  // namespace platform::ui

#pragma once

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

namespace platform::ui {

// A line of text: a label, or a field a person edits once it is the first responder of its
// window (clicking it, or Tab from the view before it, gets it there; becoming first responder
// selects all of its text, a click then puts the insertion point at the end).
//
// While editing, printable keys replace the selection, Backspace and Delete delete, Return sends the
// field's action, Tab moves on to the next key view and Escape sends `cancelOperation` up the
// responder chain; keys with Command or Control go on up the chain unread. The field performs
// the editing actions "cut:", "copy:", "paste:", "undo:", "redo:" and "selectAll:" through the
// general pasteboard and its own undo history.
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

    // Held weakly.
    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TextFieldDelegate>& delegate) { delegate_ = delegate; }

    TextRange selectedRange() const { return text_.selectedRange(); }
    void setSelectedRange(TextRange range) { text_.setSelectedRange(range); }
    // Whether the field is being edited: it is the first responder of its window.
    bool isEditing() const { return editing_; }

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
    void mouseUp(const Event& event) override;
    void draw(GraphicsContext& context, const Rect& dirtyRect) override;

protected:
    // Whether the text may leave the field through the pasteboard.
    virtual bool allowsCopying() const { return true; }
    // The text as drawn.
    virtual std::string displayedString() const { return text_.string(); }
    // Draws the text, or the placeholder while there is none, in `rect`.
    void drawText(GraphicsContext& context, const Rect& rect) const;

private:
    void registerEditingActions();
    // Applies a person's edit and tells the delegate when the text changed.
    void edited(bool changed);

    EditableText text_;
    std::string placeholder_;
    std::optional<AttributedString> attributedPlaceholder_;
    TextAlignment alignment_ = TextAlignment::natural;
    Color textColor_ = Color::calibratedWhite(0, 1);
    bool editable_ = true;
    bool selectable_ = true;
    bool editing_ = false;
    std::weak_ptr<TextFieldDelegate> delegate_;
};

}  // namespace platform::ui

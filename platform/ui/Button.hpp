#pragma once

#include "platform/ui/ButtonCell.hpp"
#include "platform/ui/Control.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::ui {

// How a button behaves when clicked, with AppKit's raw values. (AppKit's check-box kind is
// `switchButton` here, `switch` being a C++ keyword.)
enum class ButtonType : int {
    momentaryLight = 0,
    pushOnPushOff = 1,
    toggle = 2,
    switchButton = 3,
    radio = 4,
    momentaryChange = 5,
    onOff = 6,
    momentaryPushIn = 7,
};

// A control's state with AppKit's raw values.
enum class ControlStateValue : int { mixed = -1, off = 0, on = 1 };

std::optional<ControlStateValue> controlStateValueFromRaw(int raw);

// A push button, check box or radio button. Its look lives in its cell. A click on a check box
// (or another toggling kind) flips its state, a click on a radio button turns it on, before the
// action is sent. Radio buttons do not turn each other off: their actions do that. As in AppKit,
// a button counts y downwards from its top edge.
class Button : public Control {
public:
    explicit Button(Rect frame = {});

    bool isFlipped() const override { return true; }

    std::shared_ptr<ButtonCell> cell() const { return cell_; }
    // Replaces the cell; the new cell brings its own title and images. A null cell is refused
    // with std::invalid_argument.
    void setCell(std::shared_ptr<ButtonCell> cell);

    std::string title() const { return cell_->attributedTitle().string(); }
    // Sets a plain title in the button's font.
    void setTitle(std::string_view title);
    const AttributedString& attributedTitle() const { return cell_->attributedTitle(); }
    void setAttributedTitle(AttributedString title) { cell_->setAttributedTitle(std::move(title)); }
    std::shared_ptr<Image> image() const { return cell_->image(); }
    void setImage(std::shared_ptr<Image> image) { cell_->setImage(std::move(image)); }
    std::shared_ptr<Image> alternateImage() const { return cell_->alternateImage(); }
    void setAlternateImage(std::shared_ptr<Image> image) { cell_->setAlternateImage(std::move(image)); }

    ButtonType buttonType() const { return type_; }
    void setButtonType(ButtonType type) { type_ = type; }
    ControlStateValue state() const { return state_; }
    void setState(ControlStateValue state) { state_ = state; }
    // Shows the button pressed or not.
    void highlight(bool highlighted) { setHighlighted(highlighted); }

    // The key that clicks the button, as its window offers key equivalents: "\r" (Return) makes
    // it the window's default button, drawn in the accent colour; "\x1b" answers Escape. Empty
    // for none.
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
    bool isDefaultButton() const { return keyEquivalent_ == "\r"; }
    // Whether Tab can give the button the keyboard focus, shown as a ring, where Space and Return
    // click it. Off by default, as on a desktop without full keyboard access; alerts turn it on.
    void setAcceptsFirstResponder(bool accepts) { acceptsFirstResponder_ = accepts; }
    bool acceptsFirstResponder() const override { return acceptsFirstResponder_; }
    // Clicks the button when the event's key is its key equivalent (Command and Control not
    // held) and it is shown and enabled; Return is left to another button that has the focus.
    bool performKeyEquivalent(const Event& event) override;
    void keyDown(const Event& event) override;

    // Push buttons draw through their cell (the default button filled with the accent colour, its
    // title white), with a ring while they have the keyboard focus in the key window, faded while
    // disabled; radio buttons and check boxes draw their mark (on: filled, faded while disabled)
    // at the left edge and the title after it.
    void draw(GraphicsContext& context, const Rect& dirtyRect) override;

protected:
    void respondToClick() override;

private:
    bool hasKeyboardFocus();
    void drawPushButton(GraphicsContext& context);

    std::shared_ptr<ButtonCell> cell_;
    ButtonType type_ = ButtonType::momentaryPushIn;
    ControlStateValue state_ = ControlStateValue::off;
    std::string keyEquivalent_;
    bool acceptsFirstResponder_ = false;
};

}  // namespace platform::ui

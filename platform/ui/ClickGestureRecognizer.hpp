#pragma once

#include "platform/ui/GestureRecognizer.hpp"

namespace platform::ui {

// Recognises a click on its view: a press and a release inside the view with a chosen mouse
// button, the release carrying at least the required click count; then it sends its action.
class ClickGestureRecognizer : public GestureRecognizer {
public:
    // Button-mask bits: bit 0 the primary (left) button, bit 1 the secondary (right) one.
    static constexpr unsigned primaryButton = 1;
    static constexpr unsigned secondaryButton = 2;

    using GestureRecognizer::GestureRecognizer;

    unsigned buttonMask() const { return buttonMask_; }
    void setButtonMask(unsigned mask) { buttonMask_ = mask; }
    long numberOfClicksRequired() const { return clicksRequired_; }
    void setNumberOfClicksRequired(long clicks) { clicksRequired_ = clicks; }

    void mouseDown(const Event& event) override;
    void mouseUp(const Event& event) override;
    void rightMouseDown(const Event& event) override;
    void rightMouseUp(const Event& event) override;

private:
    void pressed(unsigned button);
    void released(unsigned button, const Event& event);

    unsigned buttonMask_ = primaryButton;
    long clicksRequired_ = 1;
    unsigned pressedButton_ = 0;  // the button of the press under way, 0 for none
};

}  // namespace platform::ui

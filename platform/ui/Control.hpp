#pragma once

#include "platform/ui/Font.hpp"
#include "platform/ui/View.hpp"

#include <memory>

namespace platform::ui {

// A view a person operates: it can be switched off, and it sends an action to a target (or,
// without a target, along the key window's responder chain) when it is used. A press followed
// by a release inside the control is a click; a release outside cancels it.
class Control : public View {
public:
    explicit Control(Rect frame = {});

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }

    // Held weakly, as AppKit does.
    std::shared_ptr<Responder> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<Responder>& target) { target_ = target; }
    const Selector& action() const { return action_; }
    void setAction(Selector action) { action_ = std::move(action); }

    const Font& font() const { return font_; }
    void setFont(const Font& font) { font_ = font; }

    // Sends `action` to `target` (the responder chain when null) with this control as the
    // sender; true when someone performed it.
    bool sendAction(const Selector& action, const std::shared_ptr<Responder>& target);
    // Does what a click does, without the mouse; nothing while disabled. `sender` is not used.
    void performClick(Object* sender);

    // A person's click in the middle of the control: a press and a release, through the
    // application when the control is in a window (so monitors see them and whatever lies on
    // top takes them), straight to the control otherwise.
    void click();

    void mouseDown(const Event& event) override;
    void mouseUp(const Event& event) override;

protected:
    // What a completed click does: sends the action. Kinds of control add their own effect.
    virtual void respondToClick();

private:
    bool enabled_ = true;
    bool highlighted_ = false;
    bool tracking_ = false;
    std::weak_ptr<Responder> target_;
    Selector action_;
    Font font_;
};

}  // namespace platform::ui

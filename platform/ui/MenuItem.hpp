#pragma once

#include "platform/ui/Object.hpp"
#include "platform/ui/Responder.hpp"

#include <memory>
#include <string>

namespace platform::ui {

// One entry of a menu: a title and the action it sends, with the item as the sender.
class MenuItem : public Object {
public:
    MenuItem(std::string title, Selector action, std::string keyEquivalent)
        : title_(std::move(title)), action_(std::move(action)), keyEquivalent_(std::move(keyEquivalent)) {}

    const std::string& title() const { return title_; }
    const Selector& action() const { return action_; }
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    // Held weakly; without a target the action goes along the responder chain.
    std::shared_ptr<Responder> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<Responder>& target) { target_ = target; }

private:
    std::string title_;
    Selector action_;
    std::string keyEquivalent_;
    std::weak_ptr<Responder> target_;
};

}  // namespace platform::ui

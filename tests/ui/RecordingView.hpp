#pragma once

#include "platform/ui/View.hpp"
#include "platform/ui/Window.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvantis::testing {

// A view that writes what the tree tells it into a shared list, as "<name> <what>".
class RecordingView : public platform::ui::View {
public:
    RecordingView(std::string name, std::shared_ptr<std::vector<std::string>> journal, platform::ui::Rect frame = {})
        : View(frame), name_(std::move(name)), journal_(std::move(journal)) {}

    // Runs inside `viewDidMoveToSuperview`, after the entry is written.
    std::function<void(RecordingView&)> onMoveToSuperview;
    bool flipped = false;

    bool isFlipped() const override { return flipped; }
    void viewDidMoveToSuperview() override {
        auto* parent = dynamic_cast<RecordingView*>(superview());
        journal_->push_back(name_ + " superview " + (parent ? parent->name_ : superview() ? "?" : "none"));
        if (onMoveToSuperview) onMoveToSuperview(*this);
    }
    void viewDidMoveToWindow() override { journal_->push_back(name_ + " window " + (window() ? "yes" : "none")); }
    void viewDidHide() override { journal_->push_back(name_ + " hidden"); }
    void viewDidUnhide() override { journal_->push_back(name_ + " shown"); }

    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::shared_ptr<std::vector<std::string>> journal_;
};

}  // namespace corvantis::testing

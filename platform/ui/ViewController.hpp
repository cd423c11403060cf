#pragma once

#include "platform/ui/Responder.hpp"
#include "platform/ui/View.hpp"

#include <functional>
#include <memory>

namespace platform::ui {

// Owns one view, which it loads the first time it is asked for: the scene's loader builds the
// view and connects the controller's outlets, and then `viewDidLoad` runs, once.
class ViewController : public Responder {
public:
    using ViewLoader = std::function<std::shared_ptr<View>(ViewController& owner)>;

    // The view, loaded now if it was not yet.
    std::shared_ptr<View> view();
    // Gives the controller its view directly; `viewDidLoad` does not run for it.
    void setView(std::shared_ptr<View> view) { view_ = std::move(view); }
    bool isViewLoaded() const { return view_ != nullptr; }
    // How the view is built (set by the storyboard).
    void setViewLoader(ViewLoader loader) { loader_ = std::move(loader); }

    // Builds the view: the loader's, or an empty view when there is none.
    virtual void loadView();
    // Runs once, right after the view was loaded; nothing by default.
    virtual void viewDidLoad() {}
    // Run around the view's being shown by a presenter (a popover); nothing by default.
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}

private:
    std::shared_ptr<View> view_;
    ViewLoader loader_;
    bool loading_ = false;
};

}  // namespace platform::ui

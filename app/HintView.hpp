#pragma once

#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <memory>
#include <string>

namespace corvantis {

// The content of a hint popover: one line of explanation. Main queue only.
class HintView : public platform::ui::View {
public:
    using View::View;

    // Connected by the storyboard scene.
    std::shared_ptr<platform::ui::TextField> lblHint;

    void setHint(const std::string& text);
};

}  // namespace corvantis

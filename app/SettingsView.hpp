#pragma once

#include "platform/ui/View.hpp"

#include <memory>

namespace corvantis {

// The popup's settings screen. Main queue only.
class SettingsView : public platform::ui::View {
public:
    using View::View;

    virtual void show();
    virtual void hide();
};

}  // namespace corvantis

#pragma once

#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <memory>

namespace corvantis {

// The popup's locations screen. Main queue only.
class LocationsView : public platform::ui::View {
public:
    using View::View;

    virtual void show();
    virtual void hide();
    std::shared_ptr<platform::ui::TextField> lblLocation;
    virtual void alignLocationLabel();
};

}  // namespace corvantis

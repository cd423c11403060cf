#pragma once

#include "app/ConnectionState.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <memory>

namespace corvantis {

// The popup's connect screen. Main queue only.
class ConnectView : public platform::ui::View {
public:
    using View::View;

    // The tunnel's state; only this screen changes it.
    ConnectionState connectionState = ConnectionState::disconnected;

    virtual void show();
    virtual void hide();
    virtual void playAnimation();
    // The chosen city's short name, centred with its pill by `alignLocationLabel`.
    std::shared_ptr<platform::ui::TextField> lblLocation;
    virtual void alignLocationLabel();
};

}  // namespace corvantis

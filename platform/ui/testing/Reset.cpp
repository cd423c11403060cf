#include "platform/ui/testing/Reset.hpp"

#include "platform/ui/Alert.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Appearance.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/FontRegistry.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/Menu.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/Screen.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarButton.hpp"
#include "platform/ui/Storyboard.hpp"

namespace platform::ui::testing {

void reset() {
    Image::forgetNames();
    Image::setLoader(nullptr);
    AnimationLog::shared().clear();
    FontRegistry::shared().reset();
    Alert::forgetPendingAlerts();
    Appearance::reset();
    StatusBar::system().reset();
    Application::shared().reset();
    Screen::reset();
    Storyboard::forgetAll();
    Menu::setPopUpHandler(nullptr);
    StatusBarButton::setSkipsDefaultMouseDown(nullptr);
    Pasteboard::general()->clearContents();
}

}  // namespace platform::ui::testing

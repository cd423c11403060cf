#include "app/SettingsView.hpp"

namespace corvantis {

void SettingsView::show() {
    setHidden(false);
    setAlphaValue(1.0);
}

void SettingsView::hide() {
    setAlphaValue(0.0);
    setHidden(true);
}


}  // namespace corvantis

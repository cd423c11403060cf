#include "StatusPopup/StatusPopupPanel.hpp"

namespace corvantis {

void StatusPopupPanel::cancelOperation(platform::ui::Object*) {
    resignKey();
    if (escapePressed) escapePressed();
}

}  // namespace corvantis

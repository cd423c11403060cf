#include "app/LocationsView.hpp"

namespace corvantis {

void LocationsView::show() {
    setHidden(false);
    setAlphaValue(1.0);
}

void LocationsView::hide() {
    setAlphaValue(0.0);
    setHidden(true);
}

void LocationsView::alignLocationLabel() {}

}  // namespace corvantis

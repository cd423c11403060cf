#include "app/ConnectView.hpp"

namespace corvantis {

void ConnectView::show() {
    setHidden(false);
    setAlphaValue(1.0);
}

void ConnectView::hide() {
    setAlphaValue(0.0);
    setHidden(true);
}

void ConnectView::playAnimation() {}

void ConnectView::alignLocationLabel() {}

}  // namespace corvantis

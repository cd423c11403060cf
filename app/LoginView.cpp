#include "app/LoginView.hpp"

namespace corvantis {

void LoginView::show() {
    setHidden(false);
    setAlphaValue(1.0);
}

void LoginView::hide() {
    setAlphaValue(0.0);
    setHidden(true);
}

void LoginView::playAnimation() {}

}  // namespace corvantis

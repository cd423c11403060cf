#include "app/HintView.hpp"

namespace corvantis {

void HintView::setHint(const std::string& text) {
    lblHint->setStringValue(text);
}

}  // namespace corvantis

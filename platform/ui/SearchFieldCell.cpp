#include "platform/ui/SearchFieldCell.hpp"

#include <algorithm>

namespace platform::ui {

Rect SearchFieldCell::searchTextRect(const Rect& bounds) const {
    const double side = bounds.height();
    return {bounds.minX() + side, bounds.minY(), std::max(0.0, bounds.width() - 2 * side), side};
}

Rect SearchFieldCell::searchButtonRect(const Rect& bounds) const {
    return {bounds.minX(), bounds.minY(), bounds.height(), bounds.height()};
}

}  // namespace platform::ui

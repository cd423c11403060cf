#include "platform/ui/Rect.hpp"

#include <ostream>

namespace platform::ui {

std::ostream& operator<<(std::ostream& stream, const Rect& rect) {
    return stream << "{{" << rect.origin.x << ", " << rect.origin.y << "}, {" << rect.size.width << ", " << rect.size.height
                  << "}}";
}

}  // namespace platform::ui

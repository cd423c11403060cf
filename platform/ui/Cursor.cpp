#include "platform/ui/Cursor.hpp"

namespace platform::ui {

std::shared_ptr<Cursor> Cursor::arrow() {
    static const auto cursor = std::make_shared<Cursor>("arrow");
    return cursor;
}

std::shared_ptr<Cursor> Cursor::pointingHand() {
    static const auto cursor = std::make_shared<Cursor>("pointingHand");
    return cursor;
}

}  // namespace platform::ui

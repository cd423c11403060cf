#include "platform/ui/Pasteboard.hpp"

#include "platform/Services.hpp"

namespace platform::ui {

std::shared_ptr<Pasteboard> Pasteboard::general() {
    return Services::current().pasteboard();
}

std::int64_t Pasteboard::clearContents() {
    text_.reset();
    return ++changeCount_;
}

void Pasteboard::setString(std::string text) {
    text_ = std::move(text);
    ++changeCount_;
}

}  // namespace platform::ui

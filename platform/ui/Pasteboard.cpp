#include "platform/ui/Pasteboard.hpp"

#include "platform/Services.hpp"

namespace platform::ui {

std::shared_ptr<Pasteboard> Pasteboard::general() {
    return Services::current().pasteboard();
}

std::int64_t Pasteboard::clearContents() {
    text_.reset();
    ++changeCount_;
    publish();
    return changeCount_;
}

void Pasteboard::setString(std::string text) {
    text_ = std::move(text);
    ++changeCount_;
    publish();
}

const std::optional<std::string>& Pasteboard::string() const {
    if (bridge_) {
        if (auto foreign = bridge_->foreignText(); foreign && foreign != text_) {
            text_ = std::move(foreign);
            ++changeCount_;
        }
    }
    return text_;
}

void Pasteboard::publish() const {
    if (bridge_) bridge_->publish(text_);
}

}  // namespace platform::ui

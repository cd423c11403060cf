#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform::ui {

// The place cut and copied text goes to and paste takes it from. Headless there is no system
// clipboard: the general pasteboard is one in memory per process, from the platform services, so
// that a test can put its own in place. Holds plain text only. Main thread only.
class Pasteboard {
public:
    // The pasteboard of the installed platform services.
    static std::shared_ptr<Pasteboard> general();

    // Empties the pasteboard and returns the new change count.
    std::int64_t clearContents();
    void setString(std::string text);
    // The text on the pasteboard; none when it is empty.
    const std::optional<std::string>& string() const { return text_; }
    // Goes up on every change.
    std::int64_t changeCount() const { return changeCount_; }

private:
    std::optional<std::string> text_;
    std::int64_t changeCount_ = 0;
};

}  // namespace platform::ui

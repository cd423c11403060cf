#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform::ui {

// The desktop's clipboard behind a pasteboard, when a display provides one.
class ClipboardBridge {
public:
    virtual ~ClipboardBridge() = default;
    // The pasteboard changed here: the desktop's clipboard now holds `text` (nothing when empty).
    virtual void publish(const std::optional<std::string>& text) = 0;
    // What another program put on the desktop's clipboard since; none when nobody else has.
    virtual std::optional<std::string> foreignText() = 0;
};

// The place cut and copied text goes to and paste takes it from. Headless there is no system
// clipboard: the general pasteboard is one in memory per process, from the platform services, so
// that a test can put its own in place; a display joins it to the desktop's clipboard through a
// bridge. Holds plain text only. Main thread only.
class Pasteboard {
public:
    // The pasteboard of the installed platform services.
    static std::shared_ptr<Pasteboard> general();

    // Empties the pasteboard and returns the new change count.
    std::int64_t clearContents();
    void setString(std::string text);
    // The text on the pasteboard; none when it is empty.
    const std::optional<std::string>& string() const;
    // Goes up on every change.
    std::int64_t changeCount() const { return changeCount_; }

    // Joins the pasteboard to the desktop's clipboard; none detaches it.
    void setBridge(std::shared_ptr<ClipboardBridge> bridge) { bridge_ = std::move(bridge); }

private:
    void publish() const;

    std::shared_ptr<ClipboardBridge> bridge_;
    // Refreshed from the desktop's clipboard when it is read.
    mutable std::optional<std::string> text_;
    mutable std::int64_t changeCount_ = 0;
};

}  // namespace platform::ui

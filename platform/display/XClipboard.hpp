#pragma once

#include "platform/display/XConnection.hpp"
#include "platform/ui/Pasteboard.hpp"

#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace platform::display {

// The X CLIPBOARD selection behind the general pasteboard: copying here makes us its owner and
// we hand the text to whoever asks; pasting reads what another program owns, waiting for it at
// most half a second. Main thread only.
class XClipboard final : public ui::ClipboardBridge {
public:
    explicit XClipboard(XConnection& connection);
    ~XClipboard() override;

    void publish(const std::optional<std::string>& text) override;
    std::optional<std::string> foreignText() override;

    // Answers requests for our text and notes when another program takes the selection; true
    // when `event` was about the clipboard.
    bool handle(const XEvent& event);

private:
    void answer(const XSelectionRequestEvent& request);

    XConnection& connection_;
    ::Window window_;  // an unmapped window of our own that owns the selection
    std::optional<std::string> text_;
};

}  // namespace platform::display

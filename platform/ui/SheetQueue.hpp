#pragma once

#include "platform/ui/ModalResponse.hpp"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform::ui {

class Window;

// The sheets begun on one window, in order: the first is the one shown, the others wait.
class SheetQueue {
public:
    using Completion = std::function<void(ModalResponse)>;

    // Queues `sheet`; true when it is the first, so it is to be shown now.
    bool push(std::shared_ptr<Window> sheet, Completion completion);

    struct Removed {
        std::shared_ptr<Window> sheet;
        Completion completion;
        bool wasShown;
    };
    // Takes `sheet` out of the queue; none when it is not queued.
    std::optional<Removed> remove(const Window& sheet);

    std::shared_ptr<Window> attached() const;
    std::vector<std::shared_ptr<Window>> sheets() const;

private:
    struct Entry {
        std::shared_ptr<Window> sheet;
        Completion completion;
    };
    std::deque<Entry> entries_;
};

}  // namespace platform::ui

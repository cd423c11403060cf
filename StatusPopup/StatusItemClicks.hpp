#pragma once

#include "platform/ui/Event.hpp"
#include "platform/ui/Rect.hpp"
#include "platform/ui/StatusItem.hpp"
#include "platform/ui/Window.hpp"

#include <memory>
#include <optional>

namespace corvantis {

// Where a status item is and whether an event hit it. Our status bar links each item, its button
// and its window directly, so no lookup through private window classes is needed. Main queue only.

// The status item whose status-bar window received `event`; none for any other window.
std::shared_ptr<platform::ui::StatusItem> clickedStatusItem(const platform::ui::Event& event);

// The item an item stands for: here always the item itself.
std::shared_ptr<platform::ui::StatusItem> realItem(const std::shared_ptr<platform::ui::StatusItem>& item);

// The window that shows the item's button; none without a button or window.
std::shared_ptr<platform::ui::Window> realWindow(const platform::ui::StatusItem& item);

// The button's rectangle in screen coordinates, through `window` or, when none is given, the
// button's own window; none without a button or window.
std::optional<platform::ui::Rect> globalRect(const platform::ui::StatusItem& item,
                                             const std::shared_ptr<platform::ui::Window>& window);

// Whether `event` is a click on `item`: it reached the item's own button in the item's own
// window, and it is not numbered 1337 (events so numbered never trigger the popup).
bool shouldTrigger(const platform::ui::StatusItem& item, const platform::ui::Event& event);

}  // namespace corvantis

#include "platform/ui/SheetQueue.hpp"

#include <algorithm>

namespace platform::ui {

bool SheetQueue::push(std::shared_ptr<Window> sheet, Completion completion) {
    entries_.push_back({std::move(sheet), std::move(completion)});
    return entries_.size() == 1;
}

std::optional<SheetQueue::Removed> SheetQueue::remove(const Window& sheet) {
    const auto found =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.sheet.get() == &sheet; });
    if (found == entries_.end()) return std::nullopt;
    Removed removed{std::move(found->sheet), std::move(found->completion), found == entries_.begin()};
    entries_.erase(found);
    return removed;
}

std::shared_ptr<Window> SheetQueue::attached() const {
    return entries_.empty() ? nullptr : entries_.front().sheet;
}

std::vector<std::shared_ptr<Window>> SheetQueue::sheets() const {
    std::vector<std::shared_ptr<Window>> all;
    for (const Entry& entry : entries_) all.push_back(entry.sheet);
    return all;
}

}  // namespace platform::ui

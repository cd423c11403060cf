#include "platform/ui/EditableText.hpp"

#include <algorithm>

namespace platform::ui {

namespace {
bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}
}  // namespace

void EditableText::setString(std::string text) {
    text_ = std::move(text);
    selection_ = {text_.size(), 0};
    undo_.clear();
    redo_.clear();
    lastEdit_ = Edit::none;
}

void EditableText::setSelectedRange(TextRange range) {
    std::size_t start = std::min(range.location, text_.size());
    std::size_t end = start + std::min(range.length, text_.size() - start);
    while (start > 0 && start < text_.size() && isContinuationByte(text_[start])) --start;
    while (end < text_.size() && isContinuationByte(text_[end])) ++end;
    selection_ = {start, end - start};
    lastEdit_ = Edit::none;  // moving the selection ends a run of typing
}

std::size_t EditableText::previousCharacterStart(std::size_t index) const {
    do {
        --index;
    } while (index > 0 && isContinuationByte(text_[index]));
    return index;
}

void EditableText::willEdit(Edit kind) {
    if (kind == Edit::other || kind != lastEdit_) undo_.push_back({text_, selection_});
    redo_.clear();
    lastEdit_ = kind;
}

void EditableText::replace(TextRange range, std::string_view text) {
    text_.replace(range.location, range.length, text);
    selection_ = {range.location + text.size(), 0};
}

bool EditableText::insert(std::string_view text) {
    return replaceSelection(text, Edit::typing);
}

bool EditableText::deleteBackward() {
    TextRange doomed = selection_;
    if (doomed.length == 0) {
        if (doomed.location == 0) return false;
        const std::size_t start = previousCharacterStart(doomed.location);
        doomed = {start, doomed.location - start};
    }
    willEdit(Edit::deleting);
    replace(doomed, {});
    return true;
}

bool EditableText::deleteForward() {
    TextRange doomed = selection_;
    if (doomed.length == 0) {
        if (doomed.location >= text_.size()) return false;
        std::size_t end = doomed.location + 1;
        while (end < text_.size() && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80) ++end;
        doomed = {doomed.location, end - doomed.location};
    }
    willEdit(Edit::deleting);
    replace(doomed, {});
    return true;
}

bool EditableText::replaceSelection(std::string_view text) {
    return replaceSelection(text, Edit::other);
}

bool EditableText::replaceSelection(std::string_view text, Edit kind) {
    if (text.empty() && selection_.length == 0) return false;
    willEdit(kind);
    replace(selection_, text);
    return true;
}

bool EditableText::undo() {
    return restore(undo_, redo_);
}

bool EditableText::redo() {
    return restore(redo_, undo_);
}

bool EditableText::restore(std::vector<Snapshot>& from, std::vector<Snapshot>& to) {
    if (from.empty()) return false;
    to.push_back({text_, selection_});
    text_ = std::move(from.back().text);
    selection_ = from.back().selection;
    from.pop_back();
    lastEdit_ = Edit::none;
    return true;
}

}  // namespace platform::ui

#include "platform/ui/EditableText.hpp"

#include <algorithm>
#include <cctype>

namespace platform::ui {

namespace {
bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Letters and digits, and every character beyond ASCII (all its bytes are 0x80 or more).
bool isWordByte(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return value >= 0x80 || std::isalnum(value) != 0;
}
}  // namespace

void EditableText::setString(std::string text) {
    text_ = std::move(text);
    selection_ = {text_.size(), 0};
    anchor_ = text_.size();
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
    anchor_ = start;
    lastEdit_ = Edit::none;  // moving the selection ends a run of typing
}

void EditableText::moveCaret(std::size_t index, bool extend) {
    index = std::min(index, text_.size());
    while (index > 0 && index < text_.size() && isContinuationByte(text_[index])) --index;
    if (!extend) anchor_ = index;
    selection_ = {std::min(anchor_, index), std::max(anchor_, index) - std::min(anchor_, index)};
    lastEdit_ = Edit::none;
}

void EditableText::selectWord(std::size_t index) {
    index = std::min(index, text_.size());
    // At the end of the text the character before counts.
    const std::size_t probe = index == text_.size() && index > 0 ? characterBefore(index) : index;
    if (probe >= text_.size()) return;
    const bool word = isWordByte(text_[probe]);
    std::size_t start = probe;
    std::size_t end = probe;
    while (start > 0 && isWordByte(text_[start - 1]) == word) --start;
    while (end < text_.size() && isWordByte(text_[end]) == word) ++end;
    setSelectedRange({start, end - start});
}

std::size_t EditableText::characterBefore(std::size_t index) const {
    index = std::min(index, text_.size());
    if (index == 0) return 0;
    do {
        --index;
    } while (index > 0 && isContinuationByte(text_[index]));
    return index;
}

std::size_t EditableText::characterAfter(std::size_t index) const {
    if (index >= text_.size()) return text_.size();
    do {
        ++index;
    } while (index < text_.size() && isContinuationByte(text_[index]));
    return index;
}

std::size_t EditableText::wordStartBefore(std::size_t index) const {
    index = std::min(index, text_.size());
    while (index > 0 && !isWordByte(text_[index - 1])) --index;
    while (index > 0 && isWordByte(text_[index - 1])) --index;
    return index;
}

std::size_t EditableText::wordEndAfter(std::size_t index) const {
    while (index < text_.size() && !isWordByte(text_[index])) ++index;
    while (index < text_.size() && isWordByte(text_[index])) ++index;
    return std::min(index, text_.size());
}

void EditableText::willEdit(Edit kind) {
    if (kind == Edit::other || kind != lastEdit_) undo_.push_back({text_, selection_});
    redo_.clear();
    lastEdit_ = kind;
}

void EditableText::replace(TextRange range, std::string_view text) {
    text_.replace(range.location, range.length, text);
    selection_ = {range.location + text.size(), 0};
    anchor_ = selection_.location;
}

bool EditableText::insert(std::string_view text) {
    return replaceSelection(text, Edit::typing);
}

bool EditableText::deleteTowards(std::size_t from) {
    TextRange doomed = selection_;
    if (doomed.length == 0) {
        const std::size_t at = doomed.location;
        if (from == at) return false;
        doomed = {std::min(from, at), std::max(from, at) - std::min(from, at)};
    }
    willEdit(Edit::deleting);
    replace(doomed, {});
    return true;
}

bool EditableText::deleteBackward() {
    return deleteTowards(characterBefore(selection_.location));
}

bool EditableText::deleteForward() {
    return deleteTowards(characterAfter(selection_.location));
}

bool EditableText::deleteWordBackward() {
    return deleteTowards(wordStartBefore(selection_.location));
}

bool EditableText::deleteWordForward() {
    return deleteTowards(wordEndAfter(selection_.location));
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
    anchor_ = selection_.location;
    from.pop_back();
    lastEdit_ = Edit::none;
    return true;
}

}  // namespace platform::ui

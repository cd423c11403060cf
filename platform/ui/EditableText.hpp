#pragma once

#include "platform/ui/TextRange.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace platform::ui {

// The text being edited in a field: the UTF-8 text, the selection (an empty one is the insertion
// point) and the undo and redo history. Ranges count bytes and never cut a character in two.
// Typing coalesces into one undo step, and so does deleting, as long as nothing else happens in
// between. Each editing call returns whether the text changed.
class EditableText {
public:
    const std::string& string() const { return text_; }
    TextRange selectedRange() const { return selection_; }
    std::string selectedText() const { return text_.substr(selection_.location, selection_.length); }

    // Replaces the whole text, puts the insertion point at its end and forgets the history.
    void setString(std::string text);
    // Selects `range`, clipped to the text and widened to whole characters.
    void setSelectedRange(TextRange range);
    void selectAll() { setSelectedRange({0, text_.size()}); }

    // Typing: `text` replaces the selection and the insertion point follows it.
    bool insert(std::string_view text);
    // Backspace: deletes the selection, or else the character before the insertion point.
    bool deleteBackward();
    // Forward delete: deletes the selection, or else the character after the insertion point.
    bool deleteForward();
    // Cut and paste: `text` replaces the selection, as one undo step of its own.
    bool replaceSelection(std::string_view text);

    bool undo();
    bool redo();

private:
    enum class Edit { none, typing, deleting, other };
    struct Snapshot {
        std::string text;
        TextRange selection;
    };

    // Remembers the state before an edit of `kind` unless it continues the same run of edits.
    void willEdit(Edit kind);
    void replace(TextRange range, std::string_view text);
    bool replaceSelection(std::string_view text, Edit kind);
    std::size_t previousCharacterStart(std::size_t index) const;
    // Puts back the latest state of `from`, keeping the present one in `to`.
    bool restore(std::vector<Snapshot>& from, std::vector<Snapshot>& to);

    std::string text_;
    TextRange selection_;
    std::vector<Snapshot> undo_;
    std::vector<Snapshot> redo_;
    Edit lastEdit_ = Edit::none;
};

}  // namespace platform::ui

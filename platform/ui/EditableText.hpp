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
//
// A selection has an anchor, the end where it was started, and a caret, the end that moves when
// the selection is extended (Shift with the arrow keys, a drag). Words are runs of letters and
// digits; every other character (blanks, "/", "@", ".") separates them.
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
    // The end of the selection that moves; the insertion point when nothing is selected.
    std::size_t caret() const { return selection_.location == anchor_ ? selection_.end() : selection_.location; }
    // Moves the caret to `index` (kept inside the text, on a character's start): with `extend`
    // the anchor stays and the selection runs between the two, else the selection collapses there.
    void moveCaret(std::size_t index, bool extend);
    // Selects the word at `index`, or the run of separators there.
    void selectWord(std::size_t index);

    // Where the caret goes: one character, or one word, before or after `index`.
    std::size_t characterBefore(std::size_t index) const;
    std::size_t characterAfter(std::size_t index) const;
    std::size_t wordStartBefore(std::size_t index) const;
    std::size_t wordEndAfter(std::size_t index) const;

    // Typing: `text` replaces the selection and the insertion point follows it.
    bool insert(std::string_view text);
    // Backspace: deletes the selection, or else the character before the insertion point.
    bool deleteBackward();
    // Forward delete: deletes the selection, or else the character after the insertion point.
    bool deleteForward();
    // Control+Backspace and Control+Delete: delete the selection, or else up to the start of
    // the word before the insertion point or the end of the word after it.
    bool deleteWordBackward();
    bool deleteWordForward();
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
    // Deletes the selection, or else the characters from `from` to the insertion point.
    bool deleteTowards(std::size_t from);
    // Puts back the latest state of `from`, keeping the present one in `to`.
    bool restore(std::vector<Snapshot>& from, std::vector<Snapshot>& to);

    std::string text_;
    TextRange selection_;
    std::size_t anchor_ = 0;
    std::vector<Snapshot> undo_;
    std::vector<Snapshot> redo_;
    Edit lastEdit_ = Edit::none;
};

}  // namespace platform::ui

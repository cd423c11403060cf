#pragma once

#include "platform/ui/Size.hpp"
#include "platform/ui/TextAttributes.hpp"
#include "platform/ui/TextRange.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ui {

// Text with attributes that change along it. The attributes are kept as runs: maximal stretches
// that carry the same attributes, in order, covering the whole text.
class AttributedString {
public:
    struct Run {
        TextRange range;
        TextAttributes attributes;
        friend bool operator==(const Run&, const Run&) = default;
    };

    AttributedString() = default;
    explicit AttributedString(std::string text, const TextAttributes& attributes = {});

    const std::string& string() const { return text_; }
    std::size_t length() const { return text_.size(); }
    const std::vector<Run>& runs() const { return runs_; }

    // The attributes at byte `index`; throws std::out_of_range past the end.
    TextAttributes attributes(std::size_t index) const;
    // Sets `attributes` over `range`, keeping the others there. A range past the end or one that
    // cuts a character in two throws std::out_of_range and changes nothing.
    void addAttributes(const TextAttributes& attributes, TextRange range);
    // Replaces every attribute over `range` with `attributes`; ranges are checked as above.
    void setAttributes(const TextAttributes& attributes, TextRange range);
    // Where `text` first occurs, or none.
    std::optional<TextRange> rangeOf(std::string_view text) const;

    // The size the text takes on one line, measured run by run.
    Size size() const;

    friend bool operator==(const AttributedString&, const AttributedString&) = default;

private:
    template <class Change>
    void change(TextRange range, const Change& apply);
    void splitAt(std::size_t index);
    void mergeEqualNeighbours();

    std::string text_;
    std::vector<Run> runs_;
};

}  // namespace platform::ui

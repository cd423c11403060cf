#include "platform/ui/AttributedString.hpp"

#include "platform/ui/TextMeasurer.hpp"

#include <algorithm>
#include <stdexcept>

namespace platform::ui {

AttributedString::AttributedString(std::string text, const TextAttributes& attributes) : text_(std::move(text)) {
    if (!text_.empty()) runs_.push_back({{0, text_.size()}, attributes});
}

TextAttributes AttributedString::attributes(std::size_t index) const {
    for (const Run& run : runs_) {
        if (index < run.range.end()) return run.attributes;
    }
    throw std::out_of_range("index " + std::to_string(index) + " is past the end of a text of " + std::to_string(text_.size()) +
                            " bytes");
}

void AttributedString::addAttributes(const TextAttributes& attributes, TextRange range) {
    change(range, [&](TextAttributes& current) { current = current.mergedWith(attributes); });
}

void AttributedString::setAttributes(const TextAttributes& attributes, TextRange range) {
    change(range, [&](TextAttributes& current) { current = attributes; });
}

template <class Change>
void AttributedString::change(TextRange range, const Change& apply) {
    if (range.location > text_.size() || range.length > text_.size() - range.location) {
        throw std::out_of_range("range {" + std::to_string(range.location) + ", " + std::to_string(range.length) +
                                "} lies outside a text of " + std::to_string(text_.size()) + " bytes");
    }
    auto continuationByte = [&](std::size_t index) {
        return index < text_.size() && (static_cast<unsigned char>(text_[index]) & 0xC0) == 0x80;
    };
    if (continuationByte(range.location) || continuationByte(range.end())) {
        throw std::out_of_range("range {" + std::to_string(range.location) + ", " + std::to_string(range.length) +
                                "} cuts a character in two");
    }
    if (range.length == 0) return;
    splitAt(range.location);
    splitAt(range.end());
    for (Run& run : runs_) {
        if (run.range.location >= range.location && run.range.end() <= range.end()) apply(run.attributes);
    }
    mergeEqualNeighbours();
}

void AttributedString::splitAt(std::size_t index) {
    for (auto run = runs_.begin(); run != runs_.end(); ++run) {
        if (index > run->range.location && index < run->range.end()) {
            Run tail{{index, run->range.end() - index}, run->attributes};
            run->range.length = index - run->range.location;
            runs_.insert(run + 1, std::move(tail));
            return;
        }
    }
}

void AttributedString::mergeEqualNeighbours() {
    std::vector<Run> merged;
    for (Run& run : runs_) {
        if (!merged.empty() && merged.back().attributes == run.attributes) {
            merged.back().range.length += run.range.length;
        } else {
            merged.push_back(std::move(run));
        }
    }
    runs_ = std::move(merged);
}

std::optional<TextRange> AttributedString::rangeOf(std::string_view text) const {
    const auto found = text_.find(text);
    if (found == std::string::npos) return std::nullopt;
    return TextRange{found, text.size()};
}

Size AttributedString::size() const {
    Size total;
    for (const Run& run : runs_) {
        const Size part =
            TextMeasurer::sizeOf(std::string_view(text_).substr(run.range.location, run.range.length), run.attributes);
        total.width += part.width;
        total.height = std::max(total.height, part.height);
    }
    return total;
}

}  // namespace platform::ui

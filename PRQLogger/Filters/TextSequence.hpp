#pragma once

#include "PRQLogger/Misc/Optional/UserInfoHelpers.hpp"

#include <concepts>
#include <initializer_list>
#include <ranges>
#include <string>
#include <string_view>
#include <vector>

namespace prq {

// The items a filter is made from: any sequence of text, or a list of tags or developer names,
// of which only the names count.
class TextSequence {
public:
    TextSequence(std::initializer_list<std::string_view> texts) : texts_(texts.begin(), texts.end()) {}

    template <std::ranges::input_range Texts>
    requires std::convertible_to<std::ranges::range_reference_t<const Texts>, std::string_view> TextSequence(const Texts& texts) {
        for (const auto& text : texts) texts_.emplace_back(std::string_view(text));
    }

    template <std::ranges::input_range Labels>
    requires UserInfoTaggingProtocol<std::ranges::range_value_t<Labels>> TextSequence(const Labels& labels) {
        for (const auto& label : labels) texts_.push_back(label.name());
    }

    const std::vector<std::string>& texts() const { return texts_; }

private:
    std::vector<std::string> texts_;
};

}  // namespace prq

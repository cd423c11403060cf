#include "platform/foundation/JSONSerialization.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <bit>
#include <vector>

namespace platform::foundation::JSONSerialization {

namespace {

using json = nlohmann::json;

// Builds the value as the parser reads it (with the library's own builder) and counts what the value's blocks take from the C
// library (each with its header, rounded up to 16 bytes, at least 32), stopping the parse
// before the count passes the budget. An array's elements grow by doubling, and while they
// move the old and the new block are both held: the count includes that. The reader's own
// buffer for the text at hand is not counted: it only ever holds one text or number.
class BudgetedBuilder {
public:
    BudgetedBuilder(json& root, MemoryBudget& budget) : builder_(root, false), budget_(budget) {}

    bool null() { return placed() && builder_.null(); }
    bool boolean(bool value) { return placed() && builder_.boolean(value); }
    bool number_integer(json::number_integer_t value) { return placed() && builder_.number_integer(value); }
    bool number_unsigned(json::number_unsigned_t value) { return placed() && builder_.number_unsigned(value); }
    bool number_float(json::number_float_t value, const json::string_t& text) {
        return placed() && builder_.number_float(value, text);
    }
    bool string(json::string_t& value) {
        return placed() && take(block(sizeof(json::string_t)) + characters(value.size())) && builder_.string(value);
    }
    bool binary(json::binary_t& value) { return placed() && take(block(value.size())) && builder_.binary(value); }
    bool start_object(std::size_t length) {
        if (!placed() || !take(block(sizeof(json::object_t)))) return false;
        open_.push_back({false, 0});
        return builder_.start_object(length);
    }
    bool key(json::string_t& value) { return take(block(memberNodeSize) + characters(value.size())) && builder_.key(value); }
    bool end_object() {
        open_.pop_back();
        return builder_.end_object();
    }
    bool start_array(std::size_t length) {
        if (!placed() || !take(block(sizeof(json::array_t)))) return false;
        open_.push_back({true, 0});
        return builder_.start_array(length);
    }
    bool end_array() {
        open_.pop_back();
        return builder_.end_array();
    }
    template <class Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& error) {
        return builder_.parse_error(position, token, error);
    }

private:
    struct Container {
        bool isArray;
        std::size_t elements;
    };

    // A node of the map that holds an object's members: colour, three links and the member.
    static constexpr std::size_t memberNodeSize = 4 * sizeof(void*) + sizeof(json::object_t::value_type);
    static std::size_t block(std::size_t bytes) { return MemoryBudget::block(bytes); }
    static std::size_t characters(std::size_t length) { return MemoryBudget::characters(length); }
    bool take(std::size_t bytes) { return budget_.take(bytes); }

    // A new value takes its slot: a member's came with its key; an array's element may make the
    // array move its elements to a block twice as large.
    bool placed() {
        if (open_.empty() || !open_.back().isArray) return true;
        auto& count = open_.back().elements;
        const bool full = count == 0 || std::has_single_bit(count);
        ++count;
        if (!full) return true;
        const auto before = count == 1 ? 0 : block((count - 1) * sizeof(json));
        if (!take(block(std::max<std::size_t>(1, 2 * (count - 1)) * sizeof(json)))) return false;
        budget_.giveBack(before);
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<json> builder_;
    MemoryBudget& budget_;
    std::vector<Container> open_;
};

}  // namespace

std::size_t memoryBudget(std::size_t length) {
    return std::max<std::size_t>(4 * length, std::size_t{1} << 20);
}

std::size_t MemoryBudget::block(std::size_t bytes) {
    return std::max<std::size_t>(32, (bytes + 8 + 15) / 16 * 16);
}

std::size_t MemoryBudget::characters(std::size_t length) {
    constexpr std::size_t inlineCharacters = 15;
    return length > inlineCharacters ? block(length + 1) : 0;
}

Expected<nlohmann::json> jsonObject(std::string_view data) {
    MemoryBudget budget(memoryBudget(data.size()));
    return jsonObject(data, budget);
}

Expected<nlohmann::json> jsonObject(std::string_view data, MemoryBudget& budget) {
    if (nestsDeeperThan(data, maximumNestingDepth)) return Error{readFailureCode, readFailureDescription};
    json parsed;
    BudgetedBuilder builder(parsed, budget);
    if (!json::sax_parse(data, &builder)) return Error{readFailureCode, readFailureDescription};
    return parsed;
}

bool nestsDeeperThan(std::string_view data, std::size_t limit) {
    std::size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : data) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        switch (c) {
            case '"': inString = true; break;
            case '[':
            case '{':
                if (++depth > limit) return true;
                break;
            case ']':
            case '}':
                if (depth > 0) --depth;
                break;
            default: break;
        }
    }
    return false;
}

}  // namespace platform::foundation::JSONSerialization

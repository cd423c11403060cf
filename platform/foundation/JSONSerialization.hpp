#pragma once

#include "platform/foundation/Expected.hpp"

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <string_view>

namespace platform::foundation::JSONSerialization {

// The one description every parse failure carries, whatever the bytes were: it never repeats
// any of the input (which may be a whole HTML page) and holds no markup.
inline constexpr const char* readFailureDescription = "The data couldn’t be read because it isn’t in the correct format.";
inline constexpr int readFailureCode = 3840;

// How deeply arrays and objects may nest in JSON that comes from another process or the
// network. Whatever handles a parsed value (printing it, copying it, destroying it) may recurse
// once per level, so a deeper document could exhaust a thread's stack.
inline constexpr std::size_t maximumNestingDepth = 256;

// The most memory the value parsed from `length` bytes of JSON may take: four times the text,
// and never less than 1 MiB. A small document's values cost many times its text (each member
// of an object is a tree node of its own), so a floor keeps every ordinary reply readable, while
// a large document of many small values (an array of zeros holds sixteen bytes of values for
// every two bytes of text, and more while it grows) fails rather than grow the process by tens
// of times its size.
std::size_t memoryBudget(std::size_t length);

// What the values parsed from one document may still take from the heap, as the C library hands
// out blocks; shared when a document is parsed part by part, so that the parts together keep to
// one budget.
class MemoryBudget {
public:
    explicit MemoryBudget(std::size_t bytes) : left_(bytes) {}

    // Takes `bytes` when that many are left; else takes nothing.
    bool take(std::size_t bytes) {
        if (bytes > left_) return false;
        left_ -= bytes;
        return true;
    }
    void giveBack(std::size_t bytes) { left_ += bytes; }

    // What a heap block of `bytes` takes: its header, rounded up to 16 bytes, at least 32.
    static std::size_t block(std::size_t bytes);
    // What a std::string of `length` characters takes beyond itself: short texts live inside it.
    static std::size_t characters(std::size_t length);

private:
    std::size_t left_;
};

// Parses UTF-8 JSON text; a top-level text, number, Boolean or null is accepted as well as an
// object or an array. Empty input, trailing garbage, invalid UTF-8, nesting deeper than
// `maximumNestingDepth` and a value that would take more than `memoryBudget` of the text fail;
// the parse stops where the budget runs out.
Expected<nlohmann::json> jsonObject(std::string_view data);
// The same with the values' memory taken from `budget`, which other parts of a reply may share.
Expected<nlohmann::json> jsonObject(std::string_view data, MemoryBudget& budget);

// True when arrays and objects in `data` nest deeper than `limit`, judged from the brackets
// outside strings; the text need not be valid JSON. Linear and without recursion.
bool nestsDeeperThan(std::string_view data, std::size_t limit);

}  // namespace platform::foundation::JSONSerialization

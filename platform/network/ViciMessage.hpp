#pragma once

#include "platform/foundation/Expected.hpp"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::network {

// One message of strongSwan's VICI protocol: an ordered list of named entries, each a value
// (raw bytes), a list of values or a nested section. Plain data; copies are deep.
class ViciMessage {
public:
    enum class Kind { value, list, section };
    struct Entry {
        Kind kind = Kind::value;
        std::string name;
        std::string value;                           // Kind::value
        std::vector<std::string> items;              // Kind::list
        std::shared_ptr<const ViciMessage> section;  // Kind::section, never null
    };

    // Appending returns the message, so requests read as a chain.
    ViciMessage& add(std::string name, std::string value);
    ViciMessage& addList(std::string name, std::vector<std::string> items);
    ViciMessage& addSection(std::string name, ViciMessage section);

    const std::vector<Entry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }

    // The first entry of that name and kind; null when there is none.
    const std::string* value(std::string_view name) const;
    const std::vector<std::string>* list(std::string_view name) const;
    const ViciMessage* section(std::string_view name) const;

    friend bool operator==(const ViciMessage& left, const ViciMessage& right);

    // The wire form of the message body (no packet header); an error when a name is empty or
    // longer than a length byte can say, or a value longer than two can.
    foundation::Expected<std::string> encode() const;
    // Reads a message body. Anything not well formed is refused: unknown element types, names
    // or values running past the end, unbalanced sections or lists, nesting deeper than a
    // fixed limit. The error never quotes the bytes (they can hold secrets).
    static foundation::Expected<ViciMessage> decode(std::string_view bytes);

    // Names are one length byte long, values two: longer ones cannot be sent.
    static constexpr std::size_t maximumNameLength = 255;
    static constexpr std::size_t maximumValueLength = 65535;
    static constexpr int maximumDepth = 16;

private:
    std::vector<Entry> entries_;
};

}  // namespace platform::network

#include "platform/network/ViciMessage.hpp"

#include <cstdint>

namespace platform::network {

using foundation::Error;
using foundation::Expected;

namespace {

// Element types of a message body.
enum Element : std::uint8_t { sectionStart = 1, sectionEnd = 2, keyValue = 3, listStart = 4, listItem = 5, listEnd = 6 };

Error malformed(const std::string& what) {
    return Error{EBADMSG, "Malformed VICI message: " + what};
}

class Writer {
public:
    bool name(const std::string& text) {
        if (text.empty() || text.size() > ViciMessage::maximumNameLength) return false;
        out.push_back(static_cast<char>(text.size()));
        out.append(text);
        return true;
    }
    bool value(const std::string& text) {
        if (text.size() > ViciMessage::maximumValueLength) return false;
        out.push_back(static_cast<char>(text.size() >> 8));
        out.push_back(static_cast<char>(text.size() & 0xff));
        out.append(text);
        return true;
    }
    void element(Element type) { out.push_back(static_cast<char>(type)); }

    bool message(const ViciMessage& message) {
        for (const auto& entry : message.entries()) {
            switch (entry.kind) {
                case ViciMessage::Kind::value:
                    element(keyValue);
                    if (!name(entry.name) || !value(entry.value)) return false;
                    break;
                case ViciMessage::Kind::list:
                    element(listStart);
                    if (!name(entry.name)) return false;
                    for (const auto& item : entry.items) {
                        element(listItem);
                        if (!value(item)) return false;
                    }
                    element(listEnd);
                    break;
                case ViciMessage::Kind::section:
                    element(sectionStart);
                    if (!name(entry.name) || !this->message(*entry.section)) return false;
                    element(sectionEnd);
                    break;
            }
        }
        return true;
    }

    std::string out;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    // Reads entries until the end of the bytes (depth 0) or a section's end.
    Expected<ViciMessage> message(int depth) {
        ViciMessage result;
        while (position_ < bytes_.size()) {
            const auto type = static_cast<std::uint8_t>(bytes_[position_++]);
            switch (type) {
                case sectionStart: {
                    if (depth + 1 > ViciMessage::maximumDepth) return malformed("sections nested too deeply");
                    auto sectionName = name();
                    if (!sectionName) return sectionName.error();
                    auto inner = message(depth + 1);
                    if (!inner) return inner.error();
                    result.addSection(std::move(sectionName.value()), std::move(inner.value()));
                    break;
                }
                case sectionEnd:
                    if (depth == 0) return malformed("a section ends that never started");
                    return result;
                case keyValue: {
                    auto key = name();
                    if (!key) return key.error();
                    auto text = value();
                    if (!text) return text.error();
                    result.add(std::move(key.value()), std::move(text.value()));
                    break;
                }
                case listStart: {
                    auto listName = name();
                    if (!listName) return listName.error();
                    auto items = list();
                    if (!items) return items.error();
                    result.addList(std::move(listName.value()), std::move(items.value()));
                    break;
                }
                case listItem: return malformed("a list item outside a list");
                case listEnd: return malformed("a list ends that never started");
                default: return malformed("unknown element type " + std::to_string(type));
            }
        }
        if (depth != 0) return malformed("a section does not end");
        return result;
    }

private:
    Expected<std::vector<std::string>> list() {
        std::vector<std::string> items;
        while (position_ < bytes_.size()) {
            const auto type = static_cast<std::uint8_t>(bytes_[position_++]);
            if (type == listEnd) return items;
            if (type != listItem) return malformed("a list holds something other than items");
            auto item = value();
            if (!item) return item.error();
            items.push_back(std::move(item.value()));
        }
        return malformed("a list does not end");
    }

    Expected<std::string> name() {
        if (position_ >= bytes_.size()) return malformed("a name is cut off");
        const std::size_t length = static_cast<std::uint8_t>(bytes_[position_++]);
        if (length == 0) return malformed("an empty name");
        return take(length, "a name is cut off");
    }

    Expected<std::string> value() {
        if (bytes_.size() - position_ < 2) return malformed("a value is cut off");
        const std::size_t length = (static_cast<std::size_t>(static_cast<std::uint8_t>(bytes_[position_])) << 8) |
                                   static_cast<std::uint8_t>(bytes_[position_ + 1]);
        position_ += 2;
        return take(length, "a value is cut off");
    }

    Expected<std::string> take(std::size_t length, const char* cutOff) {
        if (bytes_.size() - position_ < length) return malformed(cutOff);
        std::string text(bytes_.substr(position_, length));
        position_ += length;
        return text;
    }

    std::string_view bytes_;
    std::size_t position_ = 0;
};

template <class Found>
const Found* find(const std::vector<ViciMessage::Entry>& entries, std::string_view name, ViciMessage::Kind kind,
                  const Found* (*pick)(const ViciMessage::Entry&)) {
    for (const auto& entry : entries) {
        if (entry.kind == kind && entry.name == name) return pick(entry);
    }
    return nullptr;
}

}  // namespace

ViciMessage& ViciMessage::add(std::string name, std::string value) {
    entries_.push_back(Entry{Kind::value, std::move(name), std::move(value), {}, nullptr});
    return *this;
}

ViciMessage& ViciMessage::addList(std::string name, std::vector<std::string> items) {
    entries_.push_back(Entry{Kind::list, std::move(name), {}, std::move(items), nullptr});
    return *this;
}

ViciMessage& ViciMessage::addSection(std::string name, ViciMessage section) {
    entries_.push_back(Entry{Kind::section, std::move(name), {}, {}, std::make_shared<const ViciMessage>(std::move(section))});
    return *this;
}

const std::string* ViciMessage::value(std::string_view name) const {
    return find<std::string>(entries_, name, Kind::value, [](const Entry& entry) { return &entry.value; });
}

const std::vector<std::string>* ViciMessage::list(std::string_view name) const {
    return find<std::vector<std::string>>(entries_, name, Kind::list, [](const Entry& entry) { return &entry.items; });
}

const ViciMessage* ViciMessage::section(std::string_view name) const {
    return find<ViciMessage>(entries_, name, Kind::section, [](const Entry& entry) { return entry.section.get(); });
}

bool operator==(const ViciMessage& left, const ViciMessage& right) {
    if (left.entries_.size() != right.entries_.size()) return false;
    for (std::size_t index = 0; index < left.entries_.size(); ++index) {
        const auto& a = left.entries_[index];
        const auto& b = right.entries_[index];
        if (a.kind != b.kind || a.name != b.name || a.value != b.value || a.items != b.items) return false;
        if (a.kind == ViciMessage::Kind::section && !(*a.section == *b.section)) return false;
    }
    return true;
}

Expected<std::string> ViciMessage::encode() const {
    Writer writer;
    if (!writer.message(*this)) return Error{EMSGSIZE, "A VICI message holds an empty or too long name or a too long value"};
    return std::move(writer.out);
}

Expected<ViciMessage> ViciMessage::decode(std::string_view bytes) {
    return Reader(bytes).message(0);
}

}  // namespace platform::network

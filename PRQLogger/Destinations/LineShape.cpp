#include "PRQLogger/Destinations/LineShape.hpp"

#include "PRQLogger/Misc/LoggerSettings.hpp"
#include "platform/dispatch/ThreadLocalObject.hpp"
#include "platform/dispatch/ThreadName.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <pthread.h>

namespace prq {

namespace {
// The main thread, else the thread's own name, else the label of the queue it serves, else the
// thread's address: a thread without any name stays recognisable across its lines.
std::string threadTag() {
    if (platform::dispatch::isMainThread()) return "[main] ";
    if (const auto name = platform::dispatch::currentThreadName(); !name.empty()) return '[' + name + "] ";
    if (const auto label = platform::dispatch::currentQueueLabel(); label && !label->empty()) return '[' + *label + "] ";
    char address[40];
    std::snprintf(address, sizeof address, "[%p] ", reinterpret_cast<void*>(::pthread_self()));
    return address;
}

// The thread's tag, made again only when its name or queue may have changed.
struct ThreadTag {
    std::uint64_t madeForIdentity = 0;
    std::string text;
};

std::string_view currentThreadTag(std::string& spare) {
    auto* tag = platform::dispatch::ThreadLocalObject<ThreadTag>::get();
    if (!tag) return spare = threadTag();  // the thread's objects are gone
    if (const auto identity = platform::dispatch::currentThreadIdentityVersion(); identity != tag->madeForIdentity) {
        tag->text = threadTag();
        tag->madeForIdentity = identity;
    }
    return tag->text;
}

// The most characters a line number takes: "-9223372036854775808".
constexpr std::size_t maxNumberLength = 20;

// Copies `size` characters, at least `width` and at most twice as many, as two fixed-size
// copies from either end, which may overlap.
template <std::size_t width>
void copyEnds(char* to, const char* from, std::size_t size) {
    std::memcpy(to, from, width);
    std::memcpy(to + size - width, from + size - width, width);
}

// Copies `text` to `at` and answers where it ends. Most pieces of a line are short, and copied
// here in a few moves cost less than through a library call.
inline char* put(char* at, std::string_view text) {
    const char* from = text.data();
    const std::size_t size = text.size();
    if (size > 32) {
        std::memcpy(at, from, size);
    } else if (size >= 16) {
        copyEnds<16>(at, from, size);
    } else if (size >= 8) {
        copyEnds<8>(at, from, size);
    } else if (size >= 4) {
        copyEnds<4>(at, from, size);
    } else if (size > 0) {
        at[0] = from[0];
        at[size / 2] = from[size / 2];
        at[size - 1] = from[size - 1];
    }
    return at + size;
}
}  // namespace

LineShape::LineShape(LineSwitches switches) : switches_(std::move(switches)) {
    for (const Level level : LevelAllCases) {
        const auto own = switches_.levelDescriptions.find(level);
        levelNames_[static_cast<std::size_t>(rawValue(level))] =
            own != switches_.levelDescriptions.end() ? std::string_view(own->second) : description(level);
    }
}

std::size_t LineShape::compose(std::string& room, const LinePieces& pieces, const LoggerSettings& owner) const {
    return run(false, room, pieces, owner);
}

std::size_t LineShape::composeInternal(std::string& room, const LinePieces& pieces, const LoggerSettings& owner) const {
    return run(true, room, pieces, owner);
}

std::size_t LineShape::run(bool internal, std::string& room, const LinePieces& pieces, const LoggerSettings& owner) const {
    // The texts that are looked up come first, so that the room is sized once and then filled
    // by plain copies. The spares hold texts that have no home of their own.
    std::string spareDate, spareTag;
    const auto& on = switches_;
    const std::string_view date = on.showDate ? owner.dateFormatter->text(pieces.date, spareDate) : std::string_view();
    const std::string_view level = !on.showLevel ? std::string_view()
                                   : internal    ? description(pieces.level)
                                                 : levelName(pieces.level, owner);
    const bool callPieces = !internal;  // internal messages name no thread, place or function
    const std::string_view tag = on.showThreadName && callPieces ? currentThreadTag(spareTag) : std::string_view();
    // The texts, and the brackets, separators and line number around them.
    const std::size_t most = date.size() + level.size() + owner.identifier.size() + tag.size() + pieces.shownFileName.size() +
                             pieces.functionName.size() + pieces.message.size() + maxNumberLength + 16;
    if (room.size() <= most) room.resize(most + 1);
    char* const start = room.data();
    char* at = start;
    if (on.showDate) {
        at = put(at, date);
        *at++ = ' ';
    }
    if (on.showLevel) {
        *at++ = '[';
        at = put(put(at, level), "] ");
    }
    if (on.showLogIdentifier) {
        *at++ = '[';
        at = put(put(at, owner.identifier), "] ");
    }
    at = put(at, tag);
    if (callPieces && (on.showFileName || on.showLineNumber)) {
        *at++ = '[';
        if (on.showFileName) at = put(at, pieces.shownFileName);
        if (on.showFileName && on.showLineNumber) *at++ = ':';
        if (on.showLineNumber) at = std::to_chars(at, at + maxNumberLength, pieces.lineNumber).ptr;
        at = put(at, "] ");
    }
    if (callPieces && on.showFunctionName) {
        at = put(at, pieces.functionName);
        if (pieces.asCall) at = put(at, "()");
        *at++ = ' ';
    }
    at = put(put(at, "> "), pieces.message);
    return static_cast<std::size_t>(at - start);
}

std::string_view LineShape::levelName(Level level, const LoggerSettings& owner) const {
    if (!owner.levelDescriptions.empty() && !switches_.levelDescriptions.contains(level)) {
        if (const auto owners = owner.levelDescriptions.find(level); owners != owner.levelDescriptions.end()) {
            return owners->second;
        }
    }
    return levelNames_[static_cast<std::size_t>(rawValue(level))];
}

}  // namespace prq

#include "PRQLogger/Destinations/LineShape.hpp"

#include "PRQLogger/Misc/LoggerSettings.hpp"
#include "platform/dispatch/ThreadLocalObject.hpp"
#include "platform/dispatch/ThreadName.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
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

std::string bracketed(std::string_view text) {
    return '[' + std::string(text) + "] ";
}

// Copies the texts of a line into room made once at the end of `line`, which is cut to what
// was written when the writer goes. The room must hold all the texts.
class LineWriter {
public:
    LineWriter(std::string& line, std::size_t room) : line_(line) {
        const auto start = line.size();
        line.resize(start + room);
        at_ = line.data() + start;
    }
    ~LineWriter() { line_.resize(static_cast<std::size_t>(at_ - line_.data())); }
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    void put(std::string_view text) { at_ = std::copy(text.begin(), text.end(), at_); }
    void put(char character) { *at_++ = character; }
    void putNumber(std::int64_t number) { at_ = std::to_chars(at_, at_ + maxNumberLength, number).ptr; }
    static constexpr std::size_t maxNumberLength = 20;  // "-9223372036854775808"

private:
    std::string& line_;
    char* at_;
};
}  // namespace

LineShape::LineShape(LineSwitches switches) : switches_(std::move(switches)) {
    const auto& on = switches_;
    if (on.showDate) steps_.add(Step::date);
    if (on.showLevel) steps_.add(Step::level);
    if (on.showLogIdentifier) steps_.add(Step::identifier);
    if (on.showThreadName) steps_.add(Step::thread);
    if (on.showFileName) {
        steps_.add(on.showLineNumber ? Step::fileAndLine : Step::file);
    } else if (on.showLineNumber) {
        steps_.add(Step::lineNumber);
    }
    if (on.showFunctionName) steps_.add(Step::function);

    if (on.showDate) internalSteps_.add(Step::date);
    if (on.showLevel) internalSteps_.add(Step::levelDescription);
    if (on.showLogIdentifier) internalSteps_.add(Step::identifier);

    for (const Level level : LevelAllCases) {
        const auto own = on.levelDescriptions.find(level);
        levelPieces_[static_cast<std::size_t>(rawValue(level))] =
            bracketed(own != on.levelDescriptions.end() ? std::string_view(own->second) : description(level));
    }
}

void LineShape::appendLine(std::string& line, const LinePieces& pieces, const LoggerSettings& owner) const {
    run(steps_, false, line, pieces, owner);
}

void LineShape::appendInternalLine(std::string& line, const LinePieces& pieces, const LoggerSettings& owner) const {
    run(internalSteps_, true, line, pieces, owner);
}

void LineShape::run(const Steps& steps, bool internal, std::string& line, const LinePieces& pieces,
                    const LoggerSettings& owner) const {
    // The texts that are looked up come first, so that the line is sized once and then filled
    // by plain copies. The spares hold texts that have no home of their own.
    std::string spareDate, spareLevel, spareTag;
    const auto& on = switches_;
    const std::string_view date = on.showDate ? owner.dateFormatter().text(pieces.date, spareDate) : std::string_view();
    const std::string_view level = !on.showLevel ? std::string_view()
                                   : internal    ? std::string_view(spareLevel = bracketed(description(pieces.level)))
                                                 : levelPiece(pieces.level, owner, spareLevel);
    const std::string_view tag = on.showThreadName && !internal ? currentThreadTag(spareTag) : std::string_view();
    LineWriter out(line, date.size() + 1 + level.size() + owner.identifier.size() + 3 + tag.size() + pieces.shownFileName.size() +
                             LineWriter::maxNumberLength + 4 + pieces.functionName.size() + 3 + 2 + pieces.message.size());
    for (const Step step : steps) {
        switch (step) {
            case Step::date:
                out.put(date);
                out.put(' ');
                break;
            case Step::level:
            case Step::levelDescription: out.put(level); break;
            case Step::identifier:
                out.put('[');
                out.put(owner.identifier);
                out.put("] ");
                break;
            case Step::thread: out.put(tag); break;
            case Step::file:
            case Step::lineNumber:
            case Step::fileAndLine:
                out.put('[');
                if (step != Step::lineNumber) out.put(pieces.shownFileName);
                if (step == Step::fileAndLine) out.put(':');
                if (step != Step::file) out.putNumber(pieces.lineNumber);
                out.put("] ");
                break;
            case Step::function:
                out.put(pieces.functionName);
                if (pieces.asCall) out.put("()");
                out.put(' ');
                break;
        }
    }
    out.put("> ");
    out.put(pieces.message);
}

std::string_view LineShape::levelPiece(Level level, const LoggerSettings& owner, std::string& spare) const {
    if (!owner.levelDescriptions.empty() && !switches_.levelDescriptions.contains(level)) {
        if (const auto owners = owner.levelDescriptions.find(level); owners != owner.levelDescriptions.end()) {
            return spare = bracketed(owners->second);
        }
    }
    return levelPieces_[static_cast<std::size_t>(rawValue(level))];
}

}  // namespace prq

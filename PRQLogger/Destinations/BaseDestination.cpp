#include "PRQLogger/Destinations/BaseDestination.hpp"

#include "PRQLogger/Misc/LineSettingsVersion.hpp"
#include "PRQLogger/Misc/ThreadScratch.hpp"
#include "PRQLogger/Misc/TypeName.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "platform/dispatch/ThreadName.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/PathText.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <pthread.h>
#include <string>
#include <string_view>

namespace prq {

// Where a line comes from, as the fixed text of the line shows it.
struct LinePlace {
    Level level;
    std::string_view functionName;
    bool asCall;                // shown as "functionName()"
    std::string_view fileName;  // the full path
    std::int64_t lineNumber;
    bool constantTexts;  // the compiler's, which live as long as the program

    static LinePlace of(const LogDetails& logDetails) {
        return {logDetails.level, logDetails.functionName, false, logDetails.fileName, logDetails.lineNumber, false};
    }
    static LinePlace of(Level level, const CallSite& site) {
        return {level, site.givenFunctionName(), site.showsAsCall(), site.fileName(), site.lineNumber(), site.hasConstantTexts()};
    }
};

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

// The thread's tag is made again only when its name or queue may have changed.
const std::string& currentThreadTag() {
    thread_local std::uint64_t madeForVersion = 0;
    thread_local std::string tag;
    if (const auto version = platform::dispatch::currentThreadIdentityVersion(); version != madeForVersion) {
        tag = threadTag();
        madeForVersion = version;
    }
    return tag;
}

// Copies the pieces of a line into room made once at the end of `line`, which is cut to what
// was written when the writer goes. The room must hold all the pieces.
class PieceWriter {
public:
    static constexpr std::size_t maxNumberLength = 20;  // "-9223372036854775808"

    PieceWriter(std::string& line, std::size_t room) : line_(line) {
        const auto start = line.size();
        line.resize(start + room);
        at_ = line.data() + start;
    }
    ~PieceWriter() { line_.resize(static_cast<std::size_t>(at_ - line_.data())); }
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    void put(std::string_view piece) {
        std::char_traits<char>::copy(at_, piece.data(), piece.size());
        at_ += piece.size();
    }
    void put(char character) { *at_++ = character; }
    void putNumber(std::int64_t number) { at_ = std::to_chars(at_, at_ + maxNumberLength, number).ptr; }
    void putBracketed(std::string_view text) {
        put('[');
        put(text);
        put("] ");
    }

private:
    std::string& line_;
    char* at_;
};

struct ComposedLine {
    std::string text;
};

// The bits of a destination's line shape: the pieces it shows and whether its lines are written
// directly.
constexpr unsigned levelPiece = 1, identifierPiece = 2, threadPiece = 4, filePiece = 8, linePiece = 16, functionPiece = 32,
                   datePiece = 64, writtenDirectly = 128;
constexpr unsigned middlePieces = levelPiece | identifierPiece | threadPiece | filePiece | linePiece | functionPiece;

// Whether `shown` is the name as a line shows it: `name`, with "()" after it when `asCall`.
// Out of line: it is the rare way, and the check before it runs for every line.
[[gnu::noinline]] bool showsName(std::string_view shown, std::string_view name, bool asCall) {
    const std::string_view call = asCall ? "()" : "";
    return shown.size() == name.size() + call.size() && shown.starts_with(name) && shown.ends_with(call);
}

// Whether the texts are the very same constant: the same place, the same length.
bool sameConstant(std::string_view a, std::string_view b) {
    return a.data() == b.data() && a.size() == b.size();
}

}  // namespace

// The text between the date and the message ("[Info] [main] [ConnectView.cpp:97] connect() > ")
// and what it was made from. Lines from one place differ only in their date and message.
struct MiddleText {
    const BaseDestination* destination = nullptr;  // compared only, never followed
    const PRQLogger* owner = nullptr;
    std::uint64_t settingsVersion = 0;
    std::uint64_t threadVersion = 0;
    unsigned pieces = 0;
    Level level = Level::none;
    std::int64_t lineNumber = 0;
    std::string functionName;  // as shown
    std::string fileName;
    // The compiler's texts the names came from, if they did: a call from the same place is
    // recognised by their addresses, without comparing the texts.
    std::string_view constantFunctionName;
    std::string_view constantFileName;
    std::string text;
    // The last line written straight from this place: "date middle message\n". Its head (date
    // and middle) stays for the next line while the date formatter and `text` stay and the
    // date is one of `headDates`.
    std::string line;
    std::size_t headSize = 0;
    const platform::foundation::DateFormatter* headFormatter = nullptr;  // none: no head yet
    platform::foundation::DateFormatter::DateSpan headDates;

    bool madeFrom(const PRQLogger* holder, std::uint64_t version, std::uint64_t thread, unsigned shown,
                  const LinePlace& place) const {
        return owner == holder && settingsVersion == version && threadVersion == thread && pieces == shown &&
               level == place.level && lineNumber == place.lineNumber && (!(shown & functionPiece) || showsSameFunction(place)) &&
               (!(shown & filePiece) || showsSameFile(place));
    }
    bool showsSameFunction(const LinePlace& place) const {
        return (place.constantTexts && sameConstant(constantFunctionName, place.functionName)) ||
               showsName(functionName, place.functionName, place.asCall);
    }
    bool showsSameFile(const LinePlace& place) const {
        return (place.constantTexts && sameConstant(constantFileName, place.fileName)) || fileName == place.fileName;
    }
};

namespace {
// A few per thread: one for each destination that the thread's lines go to, as a rule.
struct MiddleTexts {
    std::array<MiddleText, 4> entries;
    std::size_t nextToReplace = 0;
};

// Lays the head of the entry's line anew: the date's text (kept while it names the dates to
// come) and the middle text.
void layHead(MiddleText& entry, bool dated, const platform::foundation::DateFormatter& formatter,
             platform::dispatch::WallTime date) {
    entry.line.clear();
    releaseIfOversized(entry.line);
    if (dated) {
        const auto span = formatter.threadTextSpan(date);
        entry.line.append(span.text);
        entry.line += ' ';
        entry.headDates = span.dates;
    } else {
        entry.headDates = {0, std::numeric_limits<std::uint64_t>::max()};
    }
    entry.line += entry.text;
    entry.headSize = entry.line.size();
    entry.headFormatter = &formatter;
}

void appendBracketed(std::string& line, std::string_view text) {
    line += '[';
    line += text;
    line += "] ";
}

const char* boolText(bool value) {
    return value ? "true" : "false";
}
}  // namespace

BaseDestination::BaseDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : ownerAddress_(owner.get()), owner_(owner), identifier_(std::move(identifier)) {
    LineSettingsVersion::advance();
}

BaseDestination::~BaseDestination() {
    LineSettingsVersion::advance();
}

std::shared_ptr<PRQLogger> BaseDestination::owner() const {
    return owner_.get().lock();
}

void BaseDestination::setOwner(const std::shared_ptr<PRQLogger>& owner) {
    owner_.set(owner);
    ownerAddress_.store(owner.get(), std::memory_order_release);
    LineSettingsVersion::advance();
}

const PRQLogger* BaseDestination::liveOwner(std::shared_ptr<PRQLogger>& pin) const {
    // The address cannot name an earlier owner that died: the dispatching logger was alive
    // before this destination could be registered with it, and no other logger shares its
    // address while it lives.
    const auto* dispatching = PRQLogger::dispatchingLogger();
    if (dispatching && ownerAddress_.load(std::memory_order_acquire) == dispatching) return dispatching;
    pin = owner();
    return pin.get();
}

const std::string& BaseDestination::identifier() const {
    return identifier_.get();
}

void BaseDestination::setIdentifier(std::string identifier) {
    identifier_.set(std::move(identifier));
}

Level BaseDestination::outputLevel() const {
    return outputLevel_.load(std::memory_order_relaxed);
}

void BaseDestination::setOutputLevel(Level level) {
    outputLevel_.store(level, std::memory_order_relaxed);
}

bool BaseDestination::haveLoggedAppDetails() const {
    return haveLoggedAppDetails_.load();
}

void BaseDestination::setHaveLoggedAppDetails(bool logged) {
    haveLoggedAppDetails_.store(logged);
}

const std::optional<FormatterList>& BaseDestination::formatters() const {
    return formatters_.get();
}

void BaseDestination::setFormatters(std::optional<FormatterList> formatters) {
    formatters_.set(std::move(formatters));
    LineSettingsVersion::advance();
}

const std::optional<FilterList>& BaseDestination::filters() const {
    return filters_.get();
}

void BaseDestination::setFilters(std::optional<FilterList> filters) {
    filters_.set(std::move(filters));
    LineSettingsVersion::advance();
}

bool BaseDestination::showLogIdentifier() const {
    return showLogIdentifier_.load(std::memory_order_relaxed);
}
void BaseDestination::setShowLogIdentifier(bool show) {
    showLogIdentifier_.store(show, std::memory_order_relaxed);
    LineSettingsVersion::advance();
}
bool BaseDestination::showFunctionName() const {
    return showFunctionName_.load(std::memory_order_relaxed);
}
void BaseDestination::setShowFunctionName(bool show) {
    showFunctionName_.store(show, std::memory_order_relaxed);
    LineSettingsVersion::advance();
}
bool BaseDestination::showThreadName() const {
    return showThreadName_.load(std::memory_order_relaxed);
}
void BaseDestination::setShowThreadName(bool show) {
    showThreadName_.store(show, std::memory_order_relaxed);
    LineSettingsVersion::advance();
}
bool BaseDestination::showFileName() const {
    return showFileName_.load(std::memory_order_relaxed);
}
void BaseDestination::setShowFileName(bool show) {
    showFileName_.store(show, std::memory_order_relaxed);
    LineSettingsVersion::advance();
}
bool BaseDestination::showLineNumber() const {
    return showLineNumber_.load(std::memory_order_relaxed);
}
void BaseDestination::setShowLineNumber(bool show) {
    showLineNumber_.store(show, std::memory_order_relaxed);
    LineSettingsVersion::advance();
}
bool BaseDestination::showLevel() const {
    return showLevel_.load(std::memory_order_relaxed);
}
void BaseDestination::setShowLevel(bool show) {
    showLevel_.store(show, std::memory_order_relaxed);
    LineSettingsVersion::advance();
}
bool BaseDestination::showDate() const {
    return showDate_.load(std::memory_order_relaxed);
}
void BaseDestination::setShowDate(bool show) {
    showDate_.store(show, std::memory_order_relaxed);
    LineSettingsVersion::advance();
}

const LevelDescriptions& BaseDestination::levelDescriptions() const {
    return levelDescriptions_.get();
}

void BaseDestination::setLevelDescriptions(LevelDescriptions descriptions) {
    levelDescriptions_.set(std::move(descriptions));
    LineSettingsVersion::advance();
}

std::string BaseDestination::debugDescription() const {
    std::string text = extractTypeName(*this) + ": " + identifier() + " - Level: " + std::string(description(outputLevel()));
    text += std::string(" showLogIdentifier: ") + boolText(showLogIdentifier());
    text += std::string(" showFunctionName: ") + boolText(showFunctionName());
    text += std::string(" showThreadName: ") + boolText(showThreadName());
    text += std::string(" showLevel: ") + boolText(showLevel());
    text += std::string(" showFileName: ") + boolText(showFileName());
    text += std::string(" showLineNumber: ") + boolText(showLineNumber());
    text += std::string(" showDate: ") + boolText(showDate());
    return text;
}

void BaseDestination::process(const LogDetails& logDetails) {
    std::shared_ptr<PRQLogger> pin;
    const auto* holder = liveOwner(pin);
    if (!holder) return;
    const unsigned shape = lineShape(*holder);
    const bool direct = shape & writtenDirectly;
    // The line keeps its storage from the thread's earlier lines.
    const ThreadScratch<ComposedLine> scratch;
    std::string& line = scratch->text;
    composeLine(line, shape, LinePlace::of(logDetails), logDetails.date, logDetails.message, *holder, direct);
    if (direct) {
        writeLineDirectly(line);
    } else {
        output(logDetails, line);
    }
    releaseIfOversized(line);
}

bool BaseDestination::takesCallsStraight(const PRQLogger& owner) const {
    return ownerAddress_.load(std::memory_order_acquire) == &owner && (lineShape(owner) & writtenDirectly);
}

void BaseDestination::writeStraight(const StraightCall& call) {
    writeLineDirectly(straightLine(call));
}

std::string_view BaseDestination::straightLine(const StraightCall& call) const {
    const unsigned shape = lineShape(call.owner);
    // Nothing runs between composing and writing that could log, so the entry's line is free.
    MiddleText& entry = middleEntry(LinePlace::of(call.level, call.site), shape, call.owner);
    const auto& formatter = call.owner.dateFormatter();
    if (entry.headFormatter != &formatter || !entry.headDates.holds(call.date) || isOversized(entry.line)) {
        layHead(entry, shape & datePiece, formatter, call.date);
    }
    std::string& line = entry.line;
    line.resize(entry.headSize + call.message.size() + 1);
    std::copy(call.message.begin(), call.message.end(), line.data() + entry.headSize);
    line.back() = '\n';
    return line;
}

bool BaseDestination::writesLinesDirectly(const PRQLogger&) const {
    return false;
}

void BaseDestination::writeLineDirectly(std::string_view) {}

unsigned BaseDestination::makeLineShape(const PRQLogger& owner, std::uint64_t version) const {
    const unsigned shape = (showLevel() ? levelPiece : 0u) | (showLogIdentifier() ? identifierPiece : 0u) |
                           (showThreadName() ? threadPiece : 0u) | (showFileName() ? filePiece : 0u) |
                           (showLineNumber() ? linePiece : 0u) | (showFunctionName() ? functionPiece : 0u) |
                           (showDate() ? datePiece : 0u) | (writesLinesDirectly(owner) ? writtenDirectly : 0u);
    lineShapeAnswer_.store(version << lineShapeBits | shape, std::memory_order_relaxed);
    return shape;
}

void BaseDestination::composeLine(std::string& line, unsigned shape, const LinePlace& place, platform::dispatch::WallTime date,
                                  std::string_view message, const PRQLogger& owner, bool withFeed) const {
    const bool dated = shape & datePiece;
    const std::string_view dateText = dated ? owner.dateFormatter().threadText(date) : std::string_view();
    const std::string& middle = middleEntry(place, shape, owner).text;
    // Sized once (growing only past the longest line so far), then filled by plain copies.
    line.resize(dateText.size() + (dated ? 1 : 0) + middle.size() + message.size() + (withFeed ? 1 : 0));
    char* out = line.data();
    const auto put = [&](std::string_view piece) { out = std::copy(piece.begin(), piece.end(), out); };
    put(dateText);
    if (dated) *out++ = ' ';
    put(middle);
    put(message);
    if (withFeed) *out = '\n';
}

void BaseDestination::processInternal(const LogDetails& logDetails) {
    std::shared_ptr<PRQLogger> pin;
    const auto* holder = liveOwner(pin);
    if (!holder) return;
    std::string line;
    if (showDate()) {
        holder->dateFormatter().append(logDetails.date, line);
        line += ' ';
    }
    if (showLevel()) appendBracketed(line, description(logDetails.level));
    if (showLogIdentifier()) appendBracketed(line, holder->identifier());
    line += "> ";
    line += logDetails.message;
    output(logDetails, line);
}

MiddleText& BaseDestination::middleEntry(const LinePlace& place, unsigned shape, const PRQLogger& owner) const {
    const unsigned shown = shape & middlePieces;
    const auto settingsVersion = LineSettingsVersion::current();
    const auto threadVersion = shown & threadPiece ? platform::dispatch::currentThreadIdentityVersion() : 0;
    thread_local MiddleTexts kept;
    MiddleText* slot = nullptr;
    for (auto& entry : kept.entries) {
        if (entry.destination != this) continue;
        if (entry.madeFrom(&owner, settingsVersion, threadVersion, shown, place)) return entry;
        slot = &entry;
        break;
    }
    if (!slot) {
        slot = &kept.entries[kept.nextToReplace];
        kept.nextToReplace = (kept.nextToReplace + 1) % kept.entries.size();
    }

    const std::string_view levelText = shown & levelPiece ? levelName(place.level, owner) : std::string_view();
    const std::string_view identifierText = shown & identifierPiece ? std::string_view(owner.identifier()) : std::string_view();
    const std::string_view threadText = shown & threadPiece ? std::string_view(currentThreadTag()) : std::string_view();
    const std::string_view fileText =
        shown & filePiece ? platform::foundation::lastPathComponent(place.fileName) : std::string_view();
    const std::string_view functionText = shown & functionPiece ? place.functionName : std::string_view();
    const std::string_view callText = shown & functionPiece && place.asCall ? "()" : "";
    std::string& text = slot->text;
    text.clear();
    {
        // "[level] ", "[identifier] ", the thread tag, "[file:line] ", "function() ", "> ".
        PieceWriter out(text, levelText.size() + 3 + identifierText.size() + 3 + threadText.size() + fileText.size() + 4 +
                                  PieceWriter::maxNumberLength + functionText.size() + callText.size() + 1 + 2);
        if (shown & levelPiece) out.putBracketed(levelText);
        if (shown & identifierPiece) out.putBracketed(identifierText);
        out.put(threadText);
        if (shown & (filePiece | linePiece)) {
            out.put('[');
            out.put(fileText);
            if ((shown & filePiece) && (shown & linePiece)) out.put(':');
            if (shown & linePiece) out.putNumber(place.lineNumber);
            out.put("] ");
        }
        if (shown & functionPiece) {
            out.put(functionText);
            out.put(callText);
            out.put(' ');
        }
        out.put("> ");
    }
    slot->destination = this;
    slot->owner = &owner;
    slot->settingsVersion = settingsVersion;
    slot->threadVersion = threadVersion;
    slot->pieces = shown;
    slot->level = place.level;
    slot->lineNumber = place.lineNumber;
    slot->functionName.assign(functionText);
    slot->functionName.append(callText);
    slot->fileName.assign(shown & filePiece ? place.fileName : std::string_view());
    const bool constant = place.constantTexts;
    slot->constantFunctionName = constant && (shown & functionPiece) ? place.functionName : std::string_view();
    slot->constantFileName = constant && (shown & filePiece) ? place.fileName : std::string_view();
    slot->headFormatter = nullptr;
    return *slot;
}

bool BaseDestination::isEnabledFor(Level level) const {
    return level >= outputLevel();
}

std::string_view BaseDestination::levelName(Level level, const PRQLogger& owner) const {
    for (const auto* names : {&levelDescriptions(), &owner.levelDescriptions()}) {
        if (const auto found = names->find(level); found != names->end()) return found->second;
    }
    return description(level);
}

}  // namespace prq

#include "PRQLogger/Destinations/BaseDestination.hpp"

#include "PRQLogger/Misc/ThreadScratch.hpp"
#include "PRQLogger/Misc/TypeName.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "platform/dispatch/ThreadName.hpp"
#include "platform/foundation/PathText.hpp"

#include <charconv>
#include <cstdio>
#include <pthread.h>

namespace prq {

namespace {
void appendNumber(std::string& line, std::int64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    line.append(digits, static_cast<std::size_t>(end - digits));
}

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
void appendThreadTag(std::string& line) {
    thread_local std::uint64_t madeForVersion = 0;
    thread_local std::string tag;
    if (const auto version = platform::dispatch::currentThreadIdentityVersion(); version != madeForVersion) {
        tag = threadTag();
        madeForVersion = version;
    }
    line += tag;
}

struct ComposedLine {
    std::string text;
};

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
    : owner_(owner), ownerAddress_(owner.get()), identifier_(std::move(identifier)) {}

std::shared_ptr<PRQLogger> BaseDestination::owner() const {
    return owner_.get().lock();
}

void BaseDestination::setOwner(const std::shared_ptr<PRQLogger>& owner) {
    owner_.set(owner);
    ownerAddress_.store(owner.get(), std::memory_order_release);
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
}

const std::optional<FilterList>& BaseDestination::filters() const {
    return filters_.get();
}

void BaseDestination::setFilters(std::optional<FilterList> filters) {
    filters_.set(std::move(filters));
}

bool BaseDestination::showLogIdentifier() const { return showLogIdentifier_.load(std::memory_order_relaxed); }
void BaseDestination::setShowLogIdentifier(bool show) { showLogIdentifier_.store(show, std::memory_order_relaxed); }
bool BaseDestination::showFunctionName() const { return showFunctionName_.load(std::memory_order_relaxed); }
void BaseDestination::setShowFunctionName(bool show) { showFunctionName_.store(show, std::memory_order_relaxed); }
bool BaseDestination::showThreadName() const { return showThreadName_.load(std::memory_order_relaxed); }
void BaseDestination::setShowThreadName(bool show) { showThreadName_.store(show, std::memory_order_relaxed); }
bool BaseDestination::showFileName() const { return showFileName_.load(std::memory_order_relaxed); }
void BaseDestination::setShowFileName(bool show) { showFileName_.store(show, std::memory_order_relaxed); }
bool BaseDestination::showLineNumber() const { return showLineNumber_.load(std::memory_order_relaxed); }
void BaseDestination::setShowLineNumber(bool show) { showLineNumber_.store(show, std::memory_order_relaxed); }
bool BaseDestination::showLevel() const { return showLevel_.load(std::memory_order_relaxed); }
void BaseDestination::setShowLevel(bool show) { showLevel_.store(show, std::memory_order_relaxed); }
bool BaseDestination::showDate() const { return showDate_.load(std::memory_order_relaxed); }
void BaseDestination::setShowDate(bool show) { showDate_.store(show, std::memory_order_relaxed); }

const LevelDescriptions& BaseDestination::levelDescriptions() const {
    return levelDescriptions_.get();
}

void BaseDestination::setLevelDescriptions(LevelDescriptions descriptions) {
    levelDescriptions_.set(std::move(descriptions));
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
    // The line keeps its storage from the thread's earlier lines.
    const ThreadScratch<ComposedLine> scratch;
    std::string& line = scratch->text;
    line.clear();
    if (showDate()) appendDate(line, logDetails, *holder);
    if (showLevel()) appendBracketed(line, levelName(logDetails.level, *holder));
    if (showLogIdentifier()) appendBracketed(line, holder->identifier());
    if (showThreadName()) appendThreadTag(line);
    if (showFileName()) {
        line += '[';
        line += platform::foundation::lastPathComponent(logDetails.fileName);
        if (showLineNumber()) {
            line += ':';
            appendNumber(line, logDetails.lineNumber);
        }
        line += "] ";
    } else if (showLineNumber()) {
        line += '[';
        appendNumber(line, logDetails.lineNumber);
        line += "] ";
    }
    if (showFunctionName()) {
        line += logDetails.functionName;
        line += ' ';
    }
    line += "> ";
    line += logDetails.message;
    output(logDetails, line);
    releaseIfOversized(line);
}

void BaseDestination::processInternal(const LogDetails& logDetails) {
    std::shared_ptr<PRQLogger> pin;
    const auto* holder = liveOwner(pin);
    if (!holder) return;
    std::string line;
    if (showDate()) appendDate(line, logDetails, *holder);
    if (showLevel()) appendBracketed(line, description(logDetails.level));
    if (showLogIdentifier()) appendBracketed(line, holder->identifier());
    line += "> ";
    line += logDetails.message;
    output(logDetails, line);
}

bool BaseDestination::isEnabledFor(Level level) const {
    return level >= outputLevel();
}

void BaseDestination::appendDate(std::string& line, const LogDetails& logDetails, const PRQLogger& owner) const {
    owner.dateFormatter().append(logDetails.date, line);
    line += ' ';
}

std::string_view BaseDestination::levelName(Level level, const PRQLogger& owner) const {
    for (const auto* names : {&levelDescriptions(), &owner.levelDescriptions()}) {
        if (const auto found = names->find(level); found != names->end()) return found->second;
    }
    return description(level);
}

}  // namespace prq

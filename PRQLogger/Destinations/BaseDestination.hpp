#pragma once

#include "PRQLogger/Destinations/DestinationProtocol.hpp"
#include "PRQLogger/Misc/LineSettingsVersion.hpp"
#include "PRQLogger/Misc/SharedSetting.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace prq {

struct LinePlace;
struct MiddleText;

// Composes the text of a log line from the record and the destination's switches, then hands it
// to `output`, the one step each concrete destination supplies. The destination holds its owner
// weakly: a logger that goes away leaves it writing nothing.
//
// Every setting may be changed while other threads log: switches and levels are atomic, the
// others are published as new versions (see `SharedSetting`).
class BaseDestination : public DestinationProtocol {
public:
    explicit BaseDestination(const std::shared_ptr<PRQLogger>& owner = nullptr, std::string identifier = "");
    ~BaseDestination() override;

    std::shared_ptr<PRQLogger> owner() const override;
    void setOwner(const std::shared_ptr<PRQLogger>& owner) override;
    const std::string& identifier() const override;
    void setIdentifier(std::string identifier) override;
    Level outputLevel() const override;
    void setOutputLevel(Level level) override;
    bool haveLoggedAppDetails() const override;
    void setHaveLoggedAppDetails(bool logged) override;
    const std::optional<FormatterList>& formatters() const override;
    void setFormatters(std::optional<FormatterList> formatters) override;
    const std::optional<FilterList>& filters() const override;
    void setFilters(std::optional<FilterList> filters) override;

    // What each line shows (internal messages show only date, level and identifier).
    virtual bool showLogIdentifier() const;
    virtual void setShowLogIdentifier(bool show);
    virtual bool showFunctionName() const;
    virtual void setShowFunctionName(bool show);
    virtual bool showThreadName() const;
    virtual void setShowThreadName(bool show);
    virtual bool showFileName() const;
    virtual void setShowFileName(bool show);
    virtual bool showLineNumber() const;
    virtual void setShowLineNumber(bool show);
    virtual bool showLevel() const;
    virtual void setShowLevel(bool show);
    virtual bool showDate() const;
    virtual void setShowDate(bool show);
    // Level names of this destination; they take precedence over the owner's.
    virtual const LevelDescriptions& levelDescriptions() const;
    virtual void setLevelDescriptions(LevelDescriptions descriptions);

    std::string debugDescription() const override;

    void process(const LogDetails& logDetails) override;
    void processInternal(const LogDetails& logDetails) override;
    bool takesCallsStraight(const PRQLogger& owner) const override;
    void writeStraight(const StraightCall& call) override;
    bool isEnabledFor(Level level) const override;

    // Filters, formats and writes the composed line.
    virtual void output(const LogDetails& logDetails, const std::string& message) = 0;

protected:
    // The owner, or null. The logger handing a record over on this thread is alive anyway, so it
    // is not pinned; any other owner is pinned by `pin` while the caller uses it.
    const PRQLogger* liveOwner(std::shared_ptr<PRQLogger>& pin) const;
    // Whether this destination writes a composed line itself, skipping `output`, for the owner's
    // present settings: only when nothing could change or defer the line. Asked again only after
    // a setting changes (see `LineSettingsVersion`).
    virtual bool writesLinesDirectly(const PRQLogger& owner) const;
    // Writes a composed line that ends in its line feed, for a destination that says it does.
    virtual void writeLineDirectly(std::string_view lineWithFeed);
    // The line of a call that this destination takes straight, with its line feed; it stays
    // until the thread's next such line.
    std::string_view straightLine(const StraightCall& call) const;

private:
    static constexpr unsigned lineShapeBits = 8;

    // Which pieces a line shows and whether it is written directly, as bits (see the .cpp);
    // made again only after a setting changes. Every line asks, so the asking is inline.
    unsigned lineShape(const PRQLogger& owner) const {
        // Read before the settings, so a shape made from older settings carries an older version.
        const auto version = LineSettingsVersion::current();
        const auto answer = lineShapeAnswer_.load(std::memory_order_relaxed);
        if (answer >> lineShapeBits == version) return static_cast<unsigned>(answer) & ((1u << lineShapeBits) - 1);
        return makeLineShape(owner, version);
    }
    unsigned makeLineShape(const PRQLogger& owner, std::uint64_t version) const;
    // "date middle message" into `line`, ending in a line feed when `withFeed`.
    void composeLine(std::string& line, unsigned shape, const LinePlace& place, platform::dispatch::WallTime date,
                     std::string_view message, const PRQLogger& owner, bool withFeed) const;
    std::string_view levelName(Level level, const PRQLogger& owner) const;
    // The thread's entry for the line's place, with the pieces between the date and the message
    // (ending in "> ") as its text.
    MiddleText& middleEntry(const LinePlace& place, unsigned shape, const PRQLogger& owner) const;

    // What every log call reads comes first, on one cache line; the rest is read now and then.
    std::atomic<const PRQLogger*> ownerAddress_{nullptr};  // compared only, never followed
    std::atomic<Level> outputLevel_{Level::debug};
    // The last answer of `lineShape`: the settings version it holds for, shifted above the bits.
    mutable std::atomic<std::uint64_t> lineShapeAnswer_{0};
    SharedSetting<std::weak_ptr<PRQLogger>> owner_;
    SharedSetting<std::string> identifier_;
    std::atomic<bool> haveLoggedAppDetails_{false};
    SharedSetting<std::optional<FormatterList>> formatters_;
    SharedSetting<std::optional<FilterList>> filters_;
    std::atomic<bool> showLogIdentifier_{false};
    std::atomic<bool> showFunctionName_{true};
    std::atomic<bool> showThreadName_{false};
    std::atomic<bool> showFileName_{true};
    std::atomic<bool> showLineNumber_{true};
    std::atomic<bool> showLevel_{true};
    std::atomic<bool> showDate_{true};
    SharedSetting<LevelDescriptions> levelDescriptions_;
};

}  // namespace prq

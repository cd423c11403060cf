#pragma once

#include "PRQLogger/Destinations/DestinationProtocol.hpp"
#include "PRQLogger/Destinations/LineShape.hpp"
#include "PRQLogger/Misc/Snapshot.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <atomic>
#include <memory>
#include <string>

namespace prq {

struct LoggerSettings;

// A destination's settings as one value: a change of any of them makes a new value.
struct DestinationSettings {
    std::weak_ptr<PRQLogger> owner;
    std::string identifier;
    std::optional<FormatterList> formatters;
    std::optional<FilterList> filters;
    platform::dispatch::DispatchQueuePtr logQueue;  // of a queued destination
    LineShape shape;
};

// Composes the text of a log line from the record (or straight from the call) with the
// destination's line shape, then hands it to `output`, the one step each concrete destination
// supplies. The destination holds its owner weakly: a logger that goes away leaves it writing
// nothing.
//
// Every setting may be changed while other threads log: levels and flags are atomic, the others
// are published together as a new value (see `Snapshot`), which lines take from their next call on.
class BaseDestination : public DestinationProtocol {
public:
    explicit BaseDestination(const std::shared_ptr<PRQLogger>& owner = nullptr, std::string identifier = "");

    std::shared_ptr<PRQLogger> owner() const override;
    void setOwner(const std::shared_ptr<PRQLogger>& owner) override;
    std::string identifier() const override;
    void setIdentifier(std::string identifier) override;
    Level outputLevel() const override;
    void setOutputLevel(Level level) override;
    bool haveLoggedAppDetails() const override;
    void setHaveLoggedAppDetails(bool logged) override;
    std::optional<FormatterList> formatters() const override;
    void setFormatters(std::optional<FormatterList> formatters) override;
    std::optional<FilterList> filters() const override;
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
    virtual LevelDescriptions levelDescriptions() const;
    virtual void setLevelDescriptions(LevelDescriptions descriptions);

    std::string debugDescription() const override;

    void process(const LogDetails& logDetails) override;
    void processInternal(const LogDetails& logDetails) override;
    // The base always needs the record: false.
    bool writeDirectly(const LogCall& call) override;
    bool isEnabledFor(Level level) const override;

    // Filters, formats and writes the composed line.
    virtual void output(const LogDetails& logDetails, const std::string& message) = 0;

protected:
    // The settings and the owner's, the owner's null when there is no owner.
    struct Reading {
        std::shared_ptr<const DestinationSettings> settings;
        std::shared_ptr<const LoggerSettings> owner;
    };
    Reading read() const;
    std::shared_ptr<const DestinationSettings> settings() const { return settings_.get(); }
    // Whether a filter or formatter applies to the lines.
    static bool hasFiltersOrFormatters(const DestinationSettings& settings, const LoggerSettings* owner);
    FilterList filtersInForce() const override;
    FormatterList formattersInForce() const override;
    template <class Change>
    void changeSettings(Change&& change) {
        settings_.update(std::forward<Change>(change));
    }

private:
    void changeSwitches(bool LineSwitches::*which, bool show);
    bool switchOn(bool LineSwitches::*which) const;

    Snapshot<DestinationSettings> settings_;
    std::atomic<Level> outputLevel_{Level::debug};
    std::atomic<bool> haveLoggedAppDetails_{false};
};

}  // namespace prq

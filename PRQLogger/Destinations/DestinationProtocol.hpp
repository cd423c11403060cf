#pragma once

#include "PRQLogger/Filters/FilterProtocol.hpp"
#include "PRQLogger/LogFormatters/LogFormatterProtocol.hpp"
#include "PRQLogger/Misc/CallSite.hpp"
#include "PRQLogger/Misc/Level.hpp"
#include "PRQLogger/Misc/LogDetails.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace prq {

class PRQLogger;

// One log call as its logger hands it to destinations that compose their lines from the call
// itself, without a record (see `takesCallsStraight`).
struct StraightCall {
    const PRQLogger& owner;
    Level level;
    const CallSite& site;
    platform::dispatch::WallTime date;
    std::string_view message;
};

// One place that log lines go to. A destination is always held by a `std::shared_ptr`.
class DestinationProtocol : public std::enable_shared_from_this<DestinationProtocol> {
public:
    virtual ~DestinationProtocol() = default;

    // The logger this destination writes for; none while it belongs to no (living) logger.
    virtual std::shared_ptr<PRQLogger> owner() const = 0;
    virtual void setOwner(const std::shared_ptr<PRQLogger>& owner) = 0;
    virtual const std::string& identifier() const = 0;
    virtual void setIdentifier(std::string identifier) = 0;
    // The lowest level taken.
    virtual Level outputLevel() const = 0;
    virtual void setOutputLevel(Level level) = 0;
    // Set by the logger once it has written its application-details lines here.
    virtual bool haveLoggedAppDetails() const = 0;
    virtual void setHaveLoggedAppDetails(bool logged) = 0;
    // Absent: the owner's list applies. Empty: none at all.
    virtual const std::optional<FormatterList>& formatters() const = 0;
    virtual void setFormatters(std::optional<FormatterList> formatters) = 0;
    virtual const std::optional<FilterList>& filters() const = 0;
    virtual void setFilters(std::optional<FilterList> filters) = 0;

    // Composes and outputs one ordinary log line.
    virtual void process(const LogDetails& logDetails) = 0;
    // Composes and outputs one of the logger's own messages.
    virtual void processInternal(const LogDetails& logDetails) = 0;
    // Whether this destination, owned by `owner`, may compose its lines straight from log calls:
    // only when no filter, formatter or queue could change, drop or defer them, which is what a
    // record is for. A setting changed while a call is under way applies from the next call.
    virtual bool takesCallsStraight(const PRQLogger& owner) const = 0;
    // Composes and writes the line of a call, for a destination that takes calls straight.
    virtual void writeStraight(const StraightCall& call) = 0;
    virtual bool isEnabledFor(Level level) const = 0;
    virtual std::string debugDescription() const = 0;

    // The fixed rules every destination applies; no destination replaces them.
    // True when a filter (the destination's own, else its owner's) drops the line. The first
    // filter that drops it ends the walk.
    bool shouldExclude(LogDetails& logDetails, std::string& message) const;
    // Lets each formatter (the destination's own, else its owner's) rewrite the line in turn.
    void applyFormatters(LogDetails& logDetails, std::string& message) const;
    // Whether the two rules above have any filter or formatter to run, `owner` being the
    // destination's owner (or null), which the caller already holds.
    bool hasFiltersOrFormatters(const PRQLogger* owner) const;
};

using DestinationPtr = std::shared_ptr<DestinationProtocol>;

}  // namespace prq

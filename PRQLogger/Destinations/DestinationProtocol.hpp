#pragma once

#include "PRQLogger/Destinations/LineShape.hpp"
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
struct LoggerSettings;

// One log call as a logger hands it to destinations that make their lines from the call itself,
// without a record (see `writeDirectly`): with the logger's settings taken for the call, and
// `line`, the call's room for a destination's line, reused by the next.
struct LogCall {
    const PRQLogger& logger;
    LinePieces pieces;
    const LoggerSettings& loggerSettings;
    std::string& line;
};

// One place that log lines go to. A destination is always held by a `std::shared_ptr`.
class DestinationProtocol : public std::enable_shared_from_this<DestinationProtocol> {
public:
    virtual ~DestinationProtocol() = default;

    // The logger this destination writes for; none while it belongs to no (living) logger.
    virtual std::shared_ptr<PRQLogger> owner() const = 0;
    virtual void setOwner(const std::shared_ptr<PRQLogger>& owner) = 0;
    virtual std::string identifier() const = 0;
    virtual void setIdentifier(std::string identifier) = 0;
    // The lowest level taken.
    virtual Level outputLevel() const = 0;
    virtual void setOutputLevel(Level level) = 0;
    // Set by the logger once it has written its application-details lines here.
    virtual bool haveLoggedAppDetails() const = 0;
    virtual void setHaveLoggedAppDetails(bool logged) = 0;
    // Absent: the owner's list applies. Empty: none at all.
    virtual std::optional<FormatterList> formatters() const = 0;
    virtual void setFormatters(std::optional<FormatterList> formatters) = 0;
    virtual std::optional<FilterList> filters() const = 0;
    virtual void setFilters(std::optional<FilterList> filters) = 0;

    // Composes and outputs one ordinary log line.
    virtual void process(const LogDetails& logDetails) = 0;
    // Composes and outputs one of the logger's own messages.
    virtual void processInternal(const LogDetails& logDetails) = 0;
    // Writes the call's line made from the call itself, when nothing (no filter, formatter or
    // queue) needs the record that `process` takes; false when something does and nothing was
    // done. A setting changed while a call is under way applies from the next call.
    virtual bool writeDirectly(const LogCall& call) = 0;
    virtual bool isEnabledFor(Level level) const = 0;
    virtual std::string debugDescription() const = 0;

    // The fixed rules every destination applies; no destination replaces them.
    // True when a filter (the destination's own, else its owner's) drops the line. The first
    // filter that drops it ends the walk.
    bool shouldExclude(LogDetails& logDetails, std::string& message) const;
    // Lets each formatter (the destination's own, else its owner's) rewrite the line in turn.
    void applyFormatters(LogDetails& logDetails, std::string& message) const;

protected:
    // The filters and formatters that apply: the destination's own list, else its owner's.
    virtual FilterList filtersInForce() const = 0;
    virtual FormatterList formattersInForce() const = 0;
};

using DestinationPtr = std::shared_ptr<DestinationProtocol>;

}  // namespace prq

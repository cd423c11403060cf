#pragma once

#include "PRQLogger/Filters/FilterProtocol.hpp"
#include "PRQLogger/LogFormatters/LogFormatterProtocol.hpp"
#include "PRQLogger/Misc/Level.hpp"
#include "platform/foundation/DateFormatter.hpp"

#include <memory>
#include <optional>
#include <string>

namespace prq {

// What a logger's destinations take from it for their lines, as one value: a change of any part
// makes a new value (see `Snapshot`).
struct LoggerSettings {
    std::string identifier;
    LevelDescriptions levelDescriptions;
    // The lists of every destination whose own list is absent.
    std::optional<FormatterList> formatters;
    std::optional<FilterList> filters;
    // The logger's own formatter, else the shared default one; never null.
    std::shared_ptr<const platform::foundation::DateFormatter> dateFormatter;
};

}  // namespace prq

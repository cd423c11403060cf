#pragma once

#include "PRQLogger/Misc/LogDetails.hpp"

#include <memory>
#include <string>
#include <vector>

namespace prq {

// Rewrites a composed log line in place (and may change the record). Destinations ignore the
// returned text.
class LogFormatterProtocol {
public:
    virtual ~LogFormatterProtocol() = default;

    virtual std::string format(LogDetails& logDetails, std::string& message) = 0;
    virtual std::string debugDescription() const = 0;
};

using FormatterList = std::vector<std::shared_ptr<LogFormatterProtocol>>;

}  // namespace prq

#include "PRQLogger/Destinations/DestinationProtocol.hpp"

namespace prq {

bool DestinationProtocol::shouldExclude(LogDetails& logDetails, std::string& message) const {
    const ReadSection section;
    if (const auto* filters = filtersInForce(section)) {
        for (const auto& filter : *filters) {
            if (filter->shouldExclude(logDetails, message)) return true;
        }
    }
    return false;
}

void DestinationProtocol::applyFormatters(LogDetails& logDetails, std::string& message) const {
    const ReadSection section;
    if (const auto* formatters = formattersInForce(section)) {
        for (const auto& formatter : *formatters) formatter->format(logDetails, message);
    }
}

}  // namespace prq

#include "PRQLogger/Destinations/DestinationProtocol.hpp"

namespace prq {

bool DestinationProtocol::shouldExclude(LogDetails& logDetails, std::string& message) const {
    for (const auto& filter : filtersInForce()) {
        if (filter->shouldExclude(logDetails, message)) return true;
    }
    return false;
}

void DestinationProtocol::applyFormatters(LogDetails& logDetails, std::string& message) const {
    for (const auto& formatter : formattersInForce()) formatter->format(logDetails, message);
}

}  // namespace prq

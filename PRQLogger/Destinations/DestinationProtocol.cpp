#include "PRQLogger/Destinations/DestinationProtocol.hpp"

#include "PRQLogger/PRQLogger.hpp"

namespace prq {

namespace {
// The destination's own list when it has one, else the owner's (when there is an owner).
template <class List>
const List* chosenList(const std::optional<List>& own, const std::optional<List>* ownerList) {
    if (own) return &*own;
    return ownerList && *ownerList ? &**ownerList : nullptr;
}

template <class List>
bool nonEmpty(const List* list) {
    return list && !list->empty();
}
}  // namespace

bool DestinationProtocol::shouldExclude(LogDetails& logDetails, std::string& message) const {
    const auto& own = filters();
    const auto holder = own ? nullptr : owner();
    const auto* list = chosenList(own, holder ? &holder->filters() : nullptr);
    if (!list) return false;
    for (const auto& filter : *list) {
        if (filter->shouldExclude(logDetails, message)) return true;
    }
    return false;
}

void DestinationProtocol::applyFormatters(LogDetails& logDetails, std::string& message) const {
    const auto& own = formatters();
    const auto holder = own ? nullptr : owner();
    const auto* list = chosenList(own, holder ? &holder->formatters() : nullptr);
    if (!list) return;
    for (const auto& formatter : *list) formatter->format(logDetails, message);
}

bool DestinationProtocol::hasFiltersOrFormatters(const PRQLogger* owner) const {
    return nonEmpty(chosenList(filters(), owner ? &owner->filters() : nullptr)) ||
           nonEmpty(chosenList(formatters(), owner ? &owner->formatters() : nullptr));
}

}  // namespace prq

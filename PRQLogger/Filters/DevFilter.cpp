#include "PRQLogger/Filters/DevFilter.hpp"

#include "PRQLogger/Misc/Constants.hpp"

namespace prq {

DevFilter::DevFilter(CreationKey key, bool inverse, const TextSequence& items)
    : UserInfoFilter(key, inverse, items, std::string(Constants::userInfoKeyDevs)) {}

std::shared_ptr<DevFilter> DevFilter::includeFrom(const TextSequence& items) {
    return create<DevFilter>(true, items);
}

std::shared_ptr<DevFilter> DevFilter::excludeFrom(const TextSequence& items) {
    return create<DevFilter>(false, items);
}

}  // namespace prq

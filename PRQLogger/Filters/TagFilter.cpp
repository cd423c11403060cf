#include "PRQLogger/Filters/TagFilter.hpp"

#include "PRQLogger/Misc/Constants.hpp"

namespace prq {

TagFilter::TagFilter(CreationKey key, bool inverse, const TextSequence& items)
    : UserInfoFilter(key, inverse, items, std::string(Constants::userInfoKeyTags)) {}

std::shared_ptr<TagFilter> TagFilter::includeFrom(const TextSequence& items) {
    return create<TagFilter>(true, items);
}

std::shared_ptr<TagFilter> TagFilter::excludeFrom(const TextSequence& items) {
    return create<TagFilter>(false, items);
}

}  // namespace prq

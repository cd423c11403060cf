#pragma once

#include "PRQLogger/Filters/UserInfoFilter.hpp"

namespace prq {

// A user-info filter on the tags of log calls (`Tag`).
class TagFilter : public UserInfoFilter {
public:
    TagFilter(CreationKey key, bool inverse, const TextSequence& items);

    static std::shared_ptr<TagFilter> includeFrom(const TextSequence& items);
    static std::shared_ptr<TagFilter> excludeFrom(const TextSequence& items);
};

}  // namespace prq

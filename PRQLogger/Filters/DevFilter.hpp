#pragma once

#include "PRQLogger/Filters/UserInfoFilter.hpp"

namespace prq {

// A user-info filter on the developer names of log calls (`Dev`).
class DevFilter : public UserInfoFilter {
public:
    DevFilter(CreationKey key, bool inverse, const TextSequence& items);

    static std::shared_ptr<DevFilter> includeFrom(const TextSequence& items);
    static std::shared_ptr<DevFilter> excludeFrom(const TextSequence& items);
};

}  // namespace prq

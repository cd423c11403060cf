#pragma once

#include "PRQLogger/Misc/LogDetails.hpp"

#include <memory>
#include <string>
#include <vector>

namespace prq {

// Decides whether a composed log line is dropped; may change the record and the line.
class FilterProtocol {
public:
    virtual ~FilterProtocol() = default;

    virtual bool shouldExclude(LogDetails& logDetails, std::string& message) = 0;
    virtual std::string debugDescription() const = 0;
};

using FilterList = std::vector<std::shared_ptr<FilterProtocol>>;

}  // namespace prq

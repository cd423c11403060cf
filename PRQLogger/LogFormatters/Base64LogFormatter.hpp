#pragma once

#include "PRQLogger/LogFormatters/LogFormatterProtocol.hpp"

namespace prq {

// Replaces each line by the Base64 form of its UTF-8 bytes, on one line. A line that is not
// valid UTF-8 has no faithful UTF-8 form and passes unchanged. Holds no state.
class Base64LogFormatter : public LogFormatterProtocol {
public:
    std::string format(LogDetails& logDetails, std::string& message) override;
    std::string debugDescription() const override;
};

}  // namespace prq

#pragma once

#include "PRQLogger/LogFormatters/LevelSettings.hpp"
#include "PRQLogger/LogFormatters/LogFormatterProtocol.hpp"

#include <optional>
#include <string>

namespace prq {

// Wraps each line in a fixed text before it and one after it, chosen per level. A new formatter
// changes nothing. No lock is taken: change the texts only while no line is formatted with it.
class PrePostFixLogFormatter : public LogFormatterProtocol {
public:
    virtual const LevelStrings& prefixStrings() const;
    virtual void setPrefixStrings(LevelStrings strings);
    virtual const LevelStrings& postfixStrings() const;
    virtual void setPostfixStrings(LevelStrings strings);

    // Settles both texts of one level (a text not given is removed), or of every level when no
    // level is given; with nothing given at all it clears every text.
    virtual void apply(const std::optional<std::string>& prefix = std::nullopt,
                       const std::optional<std::string>& postfix = std::nullopt, std::optional<Level> to = std::nullopt);
    virtual void clearFormatting();

    std::string format(LogDetails& logDetails, std::string& message) override;
    std::string debugDescription() const override;

private:
    LevelStrings prefixStrings_;
    LevelStrings postfixStrings_;
};

}  // namespace prq

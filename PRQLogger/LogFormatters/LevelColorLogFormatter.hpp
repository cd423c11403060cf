#pragma once

#include "PRQLogger/LogFormatters/LevelSettings.hpp"
#include "PRQLogger/LogFormatters/LogFormatterProtocol.hpp"
#include "PRQLogger/Misc/Creation.hpp"

#include <array>
#include <string>
#include <string_view>

namespace prq {

// What the colour formatters share: a ready-made colour prefix per level, put in front of each
// line of that level, the formatter's reset sequence after it, and a readable account of each
// level's colours for `debugDescription`. A new formatter holds the subclass's default scheme
// (`resetFormatting()`, run by `create`).
//
// No lock is taken: change the colours only while no line is formatted with the formatter.
class LevelColorLogFormatter : public LogFormatterProtocol {
public:
    // Fills in the default scheme through the overridable `resetFormatting()`.
    void didCreate(CreationKey);

    virtual const LevelStrings& formatStrings() const;
    virtual void setFormatStrings(LevelStrings strings);
    virtual const LevelStrings& descriptionStrings() const;
    virtual void setDescriptionStrings(LevelStrings strings);

    // The level's prefix, or the reset sequence when it has none.
    virtual std::string formatString(Level level) const;
    // Sets the default scheme's levels; the others keep their entries.
    virtual void resetFormatting() = 0;
    // Takes the colours off the default scheme's levels; the others keep their entries.
    virtual void clearFormatting() = 0;

    // The level's prefix, the line, the reset sequence.
    std::string format(LogDetails& logDetails, std::string& message) override;
    std::string debugDescription() const override;

protected:
    // The levels that the default schemes colour, in the order they colour them.
    static constexpr std::array<Level, 7> schemeLevels = {Level::verbose, Level::debug,  Level::info, Level::warning,
                                                          Level::error,   Level::severe, Level::none};

    // `reset` must outlive the formatter (the subclasses pass their class constant).
    LevelColorLogFormatter(CreationKey key, std::string_view reset);

    // Sets both entries of one level, through the overridable accessors.
    void setEntries(Level level, std::string format, std::string description);

private:
    std::string_view reset_;
    LevelStrings formatStrings_;
    LevelStrings descriptionStrings_;
};

}  // namespace prq

#pragma once

#include "PRQLogger/Misc/Level.hpp"
#include "platform/dispatch/Clock.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace prq {

struct LoggerSettings;

// What a line is made of, whether it comes straight from a log call or from a record.
struct LinePieces {
    Level level;
    platform::dispatch::WallTime date;
    std::string_view functionName;
    bool asCall;                     // shown as "functionName()"
    std::string_view shownFileName;  // the last component of the file's path
    std::int64_t lineNumber;
    std::string_view message;
};

// Which pieces a destination's lines show, and its own names for levels.
struct LineSwitches {
    bool showLogIdentifier = false;
    bool showFunctionName = true;
    bool showThreadName = false;
    bool showFileName = true;
    bool showLineNumber = true;
    bool showLevel = true;
    bool showDate = true;
    LevelDescriptions levelDescriptions;
};

// A destination's line shape: its switches and the level texts they give, made once and then
// used for every line. It is immutable; a change of a switch makes a new shape.
class LineShape {
public:
    explicit LineShape(LineSwitches switches = {});

    const LineSwitches& switches() const { return switches_; }

    // Writes "date [level] [identifier] [thread] [file:line] function > message" at the start of
    // `room`, each piece where its switch is on, with the date formatter, identifier and level
    // names of the owner, and answers the line's length. `room` grows where the line might not
    // fit and is otherwise left at its size, so that a reused one is ready for the next line; at
    // least one character of it follows the line.
    std::size_t compose(std::string& room, const LinePieces& pieces, const LoggerSettings& owner) const;
    // The same for one of the logger's own messages, which show at most the date, the level's
    // own description and the identifier.
    std::size_t composeInternal(std::string& room, const LinePieces& pieces, const LoggerSettings& owner) const;

private:
    std::size_t run(bool internal, std::string& room, const LinePieces& pieces, const LoggerSettings& owner) const;
    // The level's name: the destination's own, else the owner's, else its description.
    std::string_view levelName(Level level, const LoggerSettings& owner) const;

    LineSwitches switches_;
    // The destination's own name of each level, else its description.
    std::array<std::string, LevelAllCases.size()> levelNames_;
};

}  // namespace prq

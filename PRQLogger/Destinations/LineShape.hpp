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

// A destination's line shape: its switches laid out once as the steps that make a line, which
// composing then runs. It is immutable; a change of a switch makes a new shape.
class LineShape {
public:
    explicit LineShape(LineSwitches switches = {});

    const LineSwitches& switches() const { return switches_; }

    // Appends "date [level] [identifier] [thread] [file:line] function > message", each piece
    // where its switch is on, with the date formatter, identifier and level names of the owner.
    void appendLine(std::string& line, const LinePieces& pieces, const LoggerSettings& owner) const;
    // The same for one of the logger's own messages, which show at most the date, the level's
    // own description and the identifier.
    void appendInternalLine(std::string& line, const LinePieces& pieces, const LoggerSettings& owner) const;

private:
    enum class Step : std::uint8_t { date, level, levelDescription, identifier, thread, file, lineNumber, fileAndLine, function };

    // Up to one of each, in the order lines show them.
    struct Steps {
        std::array<Step, 8> steps;
        std::size_t count = 0;

        void add(Step step) { steps[count++] = step; }
        const Step* begin() const { return steps.data(); }
        const Step* end() const { return steps.data() + count; }
    };

    void run(const Steps& steps, bool internal, std::string& line, const LinePieces& pieces, const LoggerSettings& owner) const;
    // "[name] " of the level: the destination's own name, else the owner's, else its description.
    std::string_view levelPiece(Level level, const LoggerSettings& owner, std::string& spare) const;

    LineSwitches switches_;
    Steps steps_;
    Steps internalSteps_;
    // "[name] " for each level, with the destination's own names, else the descriptions.
    std::array<std::string, LevelAllCases.size()> levelPieces_;
};

}  // namespace prq

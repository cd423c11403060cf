#pragma once

#include <memory>
#include <string>

namespace platform::foundation {

// The system console that low-level parts of the application write to (the helper client, the
// OpenVPN set-up, the reachability watch), apart from the application's own logger.
class Console {
public:
    virtual ~Console() = default;

    // Writes one message; safe from any thread.
    virtual void log(const std::string& message) = 0;

    // Writes one line to standard output, where a few messages go by design (the greeting, the
    // tunnel set-up's progress, failures the user sees only there); safe from any thread. A
    // console that records only its own messages leaves standard output as it is.
    virtual void print(const std::string& line);
};

// Standard error, one line per message: date and time with milliseconds, the program's name, its
// process and thread ids, then the message.
class StandardErrorConsole final : public Console {
public:
    static std::shared_ptr<StandardErrorConsole> shared();

    void log(const std::string& message) override;
};

// Writes `message` to the console of the platform services in force.
void consoleLog(const std::string& message);

// Writes `line` to standard output through the console of the platform services in force.
void consolePrint(const std::string& line);

}  // namespace platform::foundation

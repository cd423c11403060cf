#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <memory>
#include <mutex>
#include <string_view>

namespace platform::foundation {

// A pipe whose reading end becomes a started program's standard input while the caller keeps
// the writing end, so that it can answer what the program asks. Made before the program
// starts, so nothing the program says can arrive before there is a way to answer it.
class InputPipe {
public:
    static Expected<std::shared_ptr<InputPipe>> make();

    InputPipe(FileDescriptor reader, FileDescriptor writer);
    InputPipe(const InputPipe&) = delete;
    InputPipe& operator=(const InputPipe&) = delete;

    // The reading end, for the launcher to hand to the program; -1 once closed.
    int reader() const;
    // Closes the caller's copy of the reading end once the program holds its own.
    void closeReader();

    // Writes all of `bytes` at once. Fails, and never waits, when the program has gone or has
    // stopped reading and the pipe is full.
    Expected<void> write(std::string_view bytes);
    // The program then reads the end of its input.
    void closeWriter();

private:
    mutable std::mutex mutex_;
    FileDescriptor reader_;
    FileDescriptor writer_;
};

}  // namespace platform::foundation

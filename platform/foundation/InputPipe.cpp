#include "platform/foundation/InputPipe.hpp"

#include <fcntl.h>

namespace platform::foundation {

Expected<std::shared_ptr<InputPipe>> InputPipe::make() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return Error::fromErrno("Cannot create a pipe");
    FileDescriptor reader(ends[0]);
    FileDescriptor writer(ends[1]);
    if (::fcntl(writer.get(), F_SETFL, O_NONBLOCK) != 0) return Error::fromErrno("Cannot prepare a pipe");
    return std::make_shared<InputPipe>(std::move(reader), std::move(writer));
}

InputPipe::InputPipe(FileDescriptor reader, FileDescriptor writer) : reader_(std::move(reader)), writer_(std::move(writer)) {}

int InputPipe::reader() const {
    std::lock_guard lock(mutex_);
    return reader_.get();
}

void InputPipe::closeReader() {
    std::lock_guard lock(mutex_);
    reader_.reset();
}

Expected<void> InputPipe::write(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    if (!writer_.isOpen()) return Error{EPIPE, "The program's input is closed"};
    while (!bytes.empty()) {
        // MSG_NOSIGNAL does not exist for pipes: a reader that went away gives EPIPE here only
        // where SIGPIPE is ignored, as it is in the helper.
        const ssize_t written = ::write(writer_.get(), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return Error::fromErrno("Cannot write to the program's input");
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

void InputPipe::closeWriter() {
    std::lock_guard lock(mutex_);
    writer_.reset();
}

}  // namespace platform::foundation

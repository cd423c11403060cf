#pragma once

#include "PRQLogger/Destinations/BaseDestination.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

namespace prq {

// A destination that writes text: it filters and formats the composed line and hands it to
// `write`, at once on the calling thread, or later on its own queue when it has one. With no
// queue and nothing to filter or format, it writes a log call's line without a record.
class BaseQueuedDestination : public BaseDestination {
public:
    explicit BaseQueuedDestination(const std::shared_ptr<PRQLogger>& owner = nullptr, std::string identifier = "");

    void output(const LogDetails& logDetails, const std::string& message) override;
    bool writeDirectly(const LogCall& call) override;

    // When set, filtering, formatting and writing run there, in submission order for a serial queue.
    virtual platform::dispatch::DispatchQueuePtr logQueue() const;
    virtual void setLogQueue(platform::dispatch::DispatchQueuePtr queue);

    // Writes one finished line (without a line feed) as one unit.
    virtual void write(const std::string& message) = 0;

protected:
    // Writes a line composed straight from a log call, the first `length` characters of its
    // `line` (see `LineShape::compose`), which the destination may change on the way: through
    // `write`, unless the destination has a shorter way to the same result.
    virtual void writeComposed(const LogCall& call, std::size_t length);

private:
    void filterFormatAndWrite(LogDetails& logDetails, std::string& message);
};

}  // namespace prq

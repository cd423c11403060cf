#pragma once

#include "PRQLogger/Destinations/BaseDestination.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

namespace prq {

// A destination that writes text: it filters and formats the composed line and hands it to
// `write`, at once on the calling thread, or later on its own queue when it has one.
class BaseQueuedDestination : public BaseDestination {
public:
    explicit BaseQueuedDestination(const std::shared_ptr<PRQLogger>& owner = nullptr, std::string identifier = "");

    void output(const LogDetails& logDetails, const std::string& message) override;

    // When set, filtering, formatting and writing run there, in submission order for a serial queue.
    virtual const platform::dispatch::DispatchQueuePtr& logQueue() const;
    virtual void setLogQueue(platform::dispatch::DispatchQueuePtr queue);

    // Writes one finished line (without a line feed) as one unit.
    virtual void write(const std::string& message) = 0;

protected:
    // Whether composed lines reach `write` exactly as composed, there and then: no queue, and no
    // filter or formatter of the destination or of `owner` applies.
    bool writesLinesUnchanged(const PRQLogger& owner) const;

private:
    void filterFormatAndWrite(LogDetails& logDetails, std::string& message);

    SharedSetting<platform::dispatch::DispatchQueuePtr> logQueue_;
};

}  // namespace prq

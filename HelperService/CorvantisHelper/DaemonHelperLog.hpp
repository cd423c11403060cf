#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"

#include <mutex>

namespace corvantis::helper {

// Writes every message to syslog(3) at LOG_NOTICE, tagged with the helper's name, and to
// standard error, which systemd's journal keeps where no syslog daemon runs.
class DaemonHelperLog final : public HelperLog {
public:
    DaemonHelperLog();
    ~DaemonHelperLog() override;
    void notice(const std::string& message) override;

private:
    std::mutex standardErrorMutex_;  // one whole line at a time from every thread
};

}  // namespace corvantis::helper

#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"

namespace corvantis::helper {

// Writes every message to syslog(3) at LOG_NOTICE, tagged with the helper's name.
class SyslogHelperLog final : public HelperLog {
public:
    SyslogHelperLog();
    ~SyslogHelperLog() override;
    void notice(const std::string& message) override;
};

}  // namespace corvantis::helper

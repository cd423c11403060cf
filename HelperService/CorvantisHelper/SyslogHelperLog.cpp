#include "HelperService/CorvantisHelper/SyslogHelperLog.hpp"

#include <syslog.h>

namespace corvantis::helper {

SyslogHelperLog::SyslogHelperLog() {
    ::openlog("com.corvantis.CorvantisHelper", LOG_PID, LOG_DAEMON);
}

SyslogHelperLog::~SyslogHelperLog() {
    ::closelog();
}

void SyslogHelperLog::notice(const std::string& message) {
    ::syslog(LOG_NOTICE, "%s", message.c_str());
}

}  // namespace corvantis::helper

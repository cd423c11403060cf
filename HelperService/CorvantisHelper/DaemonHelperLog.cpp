#include "HelperService/CorvantisHelper/DaemonHelperLog.hpp"

#include <cstdio>
#include <syslog.h>

namespace corvantis::helper {

DaemonHelperLog::DaemonHelperLog() {
    ::openlog("com.corvantis.CorvantisHelper", LOG_PID, LOG_DAEMON);
}

DaemonHelperLog::~DaemonHelperLog() {
    ::closelog();
}

void DaemonHelperLog::notice(const std::string& message) {
    ::syslog(LOG_NOTICE, "%s", message.c_str());
    std::lock_guard lock(standardErrorMutex_);
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
}

}  // namespace corvantis::helper

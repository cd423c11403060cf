#pragma once

#include "platform/foundation/Expected.hpp"

#include <sys/types.h>

namespace platform::xpc {

// Who is on the other end of a Unix socket, as the kernel recorded it when the peer connected.
// Decisions go by the uid; the pid is only for log lines, since it can be reused.
struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

foundation::Expected<PeerCredentials> peerCredentials(int socket);

}  // namespace platform::xpc

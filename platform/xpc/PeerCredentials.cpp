#include "platform/xpc/PeerCredentials.hpp"

#include <sys/socket.h>

namespace platform::xpc {

foundation::Expected<PeerCredentials> peerCredentials(int socket) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
        return foundation::Error::fromErrno("Cannot read the credentials of a connecting process");
    }
    return PeerCredentials{credentials.pid, credentials.uid, credentials.gid};
}

}  // namespace platform::xpc

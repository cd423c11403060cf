#include "platform/xpc/UnixSocketAddress.hpp"

#include <cstring>
#include <string>
#include <sys/socket.h>

namespace platform::xpc {

foundation::Expected<sockaddr_un> unixSocketAddress(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.empty() || text.size() >= sizeof address.sun_path) {
        return foundation::Error{ENAMETOOLONG, "The socket path \"" + text + "\" is empty or too long"};
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return address;
}

}  // namespace platform::xpc

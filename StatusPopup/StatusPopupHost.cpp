#include "StatusPopup/StatusPopupHost.hpp"

namespace corvantis {

namespace {
StatusPopupHost& installed() {
    static StatusPopupHost host;
    return host;
}
}  // namespace

const StatusPopupHost& StatusPopupHost::current() {
    return installed();
}

void StatusPopupHost::install(StatusPopupHost host) {
    installed() = std::move(host);
}

}  // namespace corvantis

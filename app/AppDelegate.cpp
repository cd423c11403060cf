#include "app/AppDelegate.hpp"

namespace corvantis {

namespace {
std::shared_ptr<AppDelegate>& holder() {
    static std::shared_ptr<AppDelegate> delegate;
    return delegate;
}
}  // namespace

std::shared_ptr<AppDelegate> AppDelegate::shared() {
    return holder();
}

void AppDelegate::setShared(std::shared_ptr<AppDelegate> delegate) {
    holder() = std::move(delegate);
}

}  // namespace corvantis

#include "platform/crashreporting/Scope.hpp"

namespace platform::crashreporting {

void Scope::addBreadcrumb(Breadcrumb breadcrumb) {
    if (maximumBreadcrumbs_ == 0) return;
    if (breadcrumbs_.size() == maximumBreadcrumbs_) breadcrumbs_.pop_front();
    breadcrumbs_.push_back(std::move(breadcrumb));
}

void Scope::applyTo(Event& event) const {
    for (const auto& [key, value] : contexts_.items()) {
        if (!event.contexts.contains(key)) event.contexts[key] = value;
    }
    for (const auto& [key, value] : extras_.items()) {
        if (!event.extras.contains(key)) event.extras[key] = value;
    }
    if (!event.user) event.user = user_;
    event.breadcrumbs.assign(breadcrumbs_.begin(), breadcrumbs_.end());
}

}  // namespace platform::crashreporting

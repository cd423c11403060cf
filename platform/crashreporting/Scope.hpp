#pragma once

#include "platform/crashreporting/CrashReportTypes.hpp"

#include <cstddef>
#include <deque>
#include <string>

namespace platform::crashreporting {

// What every event carries besides its message: contexts, extras, the user and the latest
// breadcrumbs (the oldest go once `maximumBreadcrumbs` is reached).
class Scope {
public:
    explicit Scope(std::size_t maximumBreadcrumbs = 100) : maximumBreadcrumbs_(maximumBreadcrumbs) {}

    void setContextValue(nlohmann::json value, const std::string& key) { contexts_[key] = std::move(value); }
    void removeContext(const std::string& key) { contexts_.erase(key); }
    void setExtra(nlohmann::json value, const std::string& key) { extras_[key] = std::move(value); }
    void setUser(std::optional<User> user) { user_ = std::move(user); }
    void addBreadcrumb(Breadcrumb breadcrumb);
    void clearBreadcrumbs() { breadcrumbs_.clear(); }

    const nlohmann::json& contexts() const { return contexts_; }
    const nlohmann::json& extras() const { return extras_; }
    const std::optional<User>& user() const { return user_; }
    const std::deque<Breadcrumb>& breadcrumbs() const { return breadcrumbs_; }

    // Fills what the scope holds into `event`; the event's own extras win over the scope's.
    void applyTo(Event& event) const;

private:
    std::size_t maximumBreadcrumbs_;
    nlohmann::json contexts_ = nlohmann::json::object();
    nlohmann::json extras_ = nlohmann::json::object();
    std::optional<User> user_;
    std::deque<Breadcrumb> breadcrumbs_;
};

}  // namespace platform::crashreporting

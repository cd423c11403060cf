#pragma once

#include "HelperService/CorvantisHelper/RouteTable.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::testing {

// A route table in memory: records each change as "add ROUTE" or "del ROUTE" (the route as
// `ip route` writes it), fails them with a set error, and lists the default routes it is given.
class FakeRouteTable final : public helper::RouteTable {
public:
    platform::foundation::Expected<void> add(const helper::Ipv4Route& route) override { return record("add", route); }
    platform::foundation::Expected<void> remove(const helper::Ipv4Route& route) override { return record("del", route); }
    platform::foundation::Expected<std::vector<helper::DefaultRoute>> defaultRoutes() override {
        std::lock_guard lock(mutex_);
        if (listingFailure) return *listingFailure;
        return defaults;
    }

    std::vector<std::string> changes() const {
        std::lock_guard lock(mutex_);
        return changes_;
    }

    std::vector<helper::DefaultRoute> defaults;
    std::optional<platform::foundation::Error> changeFailure;
    std::optional<platform::foundation::Error> listingFailure;

private:
    platform::foundation::Expected<void> record(const std::string& verb, const helper::Ipv4Route& route) {
        std::lock_guard lock(mutex_);
        changes_.push_back(verb + " " + route.text());
        if (changeFailure) return *changeFailure;
        return {};
    }

    mutable std::mutex mutex_;
    std::vector<std::string> changes_;
};

}  // namespace corvantis::testing

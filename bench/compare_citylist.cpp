// The profile reply of a 10,000-server catalogue on its way to the city list, in one process
// with interleaved repetitions, as CPU time of the measuring thread:
//   ours       the reply's bytes read by the transport with the profile's own reader, the
//              profile parsed, the city list rebuilt, and all of it destroyed again;
//   reference  nlohmann::json::parse of the same bytes and the destruction of its tree: what
//              the general reader pays just to parse the reply.
// Standard error also shows the general reader's whole way (the same bytes read into one JSON
// tree, the servers grouped into a second one, then the records), which the profile took
// before. Prints one table row (see scripts/bench).

#include "app/ApiReply.hpp"
#include "app/ApiRequestInfo.hpp"
#include "app/AppDelegate.hpp"
#include "app/ProfileParser.hpp"
#include "app/ProfileReply.hpp"
#include "bench/BenchmarkFolder.hpp"
#include "bench/ComparisonRow.hpp"
#include "platform/Services.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Locale.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/security/KeychainStore.hpp"
#include "testbed/backend/BackendConfiguration.hpp"
#include "testbed/backend/TestBackend.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

using corvantis::bench::formatted;
using corvantis::bench::median;

using corvantis::testbed::BackendConfiguration;

constexpr std::size_t serverCount = 10'000;
constexpr int repetitions = 11;
constexpr double targetMilliseconds = 20.0;

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

double threadMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double millisecondsOf(const std::function<void()>& work) {
    const double start = threadMilliseconds();
    work();
    return threadMilliseconds() - start;
}

platform::Services benchmarkServices() {
    platform::Services services;
    services.userDefaultsOverride =
        platform::foundation::UserDefaults::open(corvantis::bench::benchmarkFolder() / "defaults.json");
    services.keychainOverride = platform::security::KeychainStore::open(corvantis::bench::benchmarkFolder() / "keychain.json");
    services.localeOverride = std::make_shared<const platform::foundation::Locale>("en_US");
    services.mainQueueOverride = platform::dispatch::MainQueue::make();
    return services;
}

// Reply bytes to city list as the profile request's completion sees them; the list is torn
// down again at the end, so each run pays for everything it built.
class ProfileToCityList {
public:
    explicit ProfileToCityList(std::string reply) : reply_(std::move(reply)) { corvantis::AppDelegate::setShared(delegate_); }
    ~ProfileToCityList() { corvantis::AppDelegate::setShared(nullptr); }

    // With the profile's own reader, or (`general`) the way the profile was read before: one JSON
    // tree of the whole reply, its servers grouped from that tree. The general reader's memory
    // budget now refuses a tree this large, so the tree is nlohmann's own, without a budget.
    void run(bool general) {
        corvantis::ApiRequestInfo info;
        auto servers = std::make_shared<std::optional<corvantis::ProfileReply::Servers>>();
        const corvantis::ApiReply::BodyReader wholeTree = [](std::string_view body) -> std::optional<nlohmann::json> {
            return nlohmann::json::parse(body);
        };
        auto reply = corvantis::ApiReply::classify(reply_, info,
                                                   general ? wholeTree : corvantis::ProfileReply::readerKeepingServers(servers));
        const auto result = parser_.parse(reply.succeeded(), "", reply.jsonData, std::move(*servers));
        if (!result.success || !delegate_->allCities || delegate_->allCities->size() != serverCount) {
            throw std::runtime_error("the profile did not give the whole city list");
        }
        delegate_->allCities.reset();
    }

private:
    std::string reply_;
    std::shared_ptr<corvantis::AppDelegate> delegate_ = std::make_shared<corvantis::AppDelegate>();
    corvantis::ProfileParser parser_{"device-1", {}};
};

}  // namespace

int main() try {
    platform::installApplicationServices();
    platform::ScopedServices scope(benchmarkServices());
    const auto configuration = BackendConfiguration::withCatalogue(serverCount, BackendConfiguration::largestCountryCount);
    const std::string reply = corvantis::testbed::TestBackend::profileOf(configuration.accounts.front()).dump();
    ProfileToCityList profile(reply);
    std::cerr << "compare_citylist: a profile of " << serverCount << " servers, " << reply.size() << " bytes; load average "
              << loadAverage() << "\n";

    profile.run(false);  // first use of the locale's names and the allocator's pools
    std::vector<double> ours, reference, generalWay;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        ours.push_back(millisecondsOf([&] { profile.run(false); }));
        reference.push_back(millisecondsOf([&] {
            const auto tree = nlohmann::json::parse(reply);
            if (!tree.is_object()) throw std::runtime_error("the reply is no object");
        }));
        generalWay.push_back(millisecondsOf([&] { profile.run(true); }));
    }
    const double oursMedian = median(ours);
    const double referenceMedian = median(reference);
    std::cerr << "  ours (one-pass reader, parse, city list, teardown): median " << formatted("%.2f", oursMedian) << " ms CPU\n"
              << "  nlohmann::json::parse and destroy:                   median " << formatted("%.2f", referenceMedian)
              << " ms CPU\n"
              << "  the general reader's way to the same city list:      median " << formatted("%.2f", median(generalWay))
              << " ms CPU\n"
              << "  load average after: " << loadAverage() << "\n";
    corvantis::bench::printRow("profile -> city list, 10,000 servers (CPU)", formatted("%.1f ms", oursMedian),
                               formatted("%.1f ms", referenceMedian), formatted("%.1fx", referenceMedian / oursMedian),
                               "<= 20 ms", oursMedian <= targetMilliseconds);
    return 0;
} catch (const std::exception& error) {
    std::cerr << "compare_citylist: " << error.what() << "\n";
    return 1;
}

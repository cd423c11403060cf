// The logger: deferred messages, the registry, levels, the header and internal messages.
#include "CountingClock.hpp"
#include "LogFileTest.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/LogFormatters/PrePostFixLogFormatter.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "RecordingDestination.hpp"
#include "TestServices.hpp"
#include "platform/Services.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <thread>
#include <unistd.h>

using corvantis::testing::CountingClock;
using corvantis::testing::TemporaryFolder;
using prq::Level;
using prq::PRQLogger;
using Lines = std::vector<std::string>;
using Recorder = corvantis::testing::RecordingDestination<>;

namespace {

std::shared_ptr<Recorder> recorder(std::string identifier, Level level = Level::debug) {
    return std::make_shared<Recorder>(std::move(identifier), level);
}

TEST(Logger, NeitherEvaluatesTheMessageNorTakesADateWhenNoDestinationTakesTheLevel) {
    const auto clock = std::make_shared<CountingClock>();
    platform::Services withClock;
    withClock.clockOverride = clock;
    const platform::ScopedServices services(withClock);
    int evaluations = 0;
    const auto count = [&] {
        ++evaluations;
        return "counted";
    };

    PRQLogger::make("empty", false)->emergency(count);
    const auto logger = PRQLogger::make("quiet", false);
    const auto info = recorder("info", Level::info);
    const auto warning = recorder("warning", Level::warning);
    logger->add(info);
    logger->add(warning);
    logger->debug(count);
    logger->logln(count, Level::verbose);
    EXPECT_EQ(evaluations, 0);
    EXPECT_EQ(clock->wallNowCalls, 0);

    logger->warning(count);
    EXPECT_EQ(evaluations, 1);  // once, however many destinations take it
    EXPECT_EQ(clock->wallNowCalls, 1);
    EXPECT_EQ(info->lines(), Lines{"> counted"});
    EXPECT_EQ(warning->lines(), Lines{"> counted"});

    // The destinations are chosen before the message is made, which may change their levels.
    logger->warning([&] {
        warning->setOutputLevel(Level::error);
        return "chosen before";
    });
    EXPECT_EQ(warning->lines(), (Lines{"> counted", "> chosen before"}));
}

TEST(Logger, WritesTheTextOfAnyMessageValueAndNothingForNone) {
    const auto logger = PRQLogger::make("values", false);
    const auto lines = recorder("lines");
    logger->add(lines);
    logger->info([] { return 42; });
    logger->info([] { return std::numeric_limits<std::uint64_t>::max(); });
    logger->info([] { return 8.0; });
    logger->info([] { return true; });
    logger->info([] { return std::vector<std::string>{"a", "b"}; });
    logger->error([] { return std::optional<std::string>(); });
    logger->error([]() -> const char* { return nullptr; });
    logger->info([] { return std::optional<std::string>("present"); });
    EXPECT_EQ(lines->lines(), (Lines{"> 42", "> 18446744073709551615", "> 8.0", "> true", "> [\"a\", \"b\"]", "> present"}));
}

TEST(Logger, CallsWithoutAMessageUseTheNoMessageClosure) {
    const auto logger = PRQLogger::make("no message", false);
    const auto lines = recorder("lines");
    logger->add(lines);
    logger->info();
    logger->setNoMessageClosure([] { return std::optional<prq::AnyValue>(); });
    logger->info();
    logger->setNoMessageClosure([] { return std::optional<prq::AnyValue>("marker"); });
    logger->notice();
    EXPECT_EQ(lines->lines(), (Lines{"> ", "> marker"}));
}

TEST(LoggerRegistry, RefusesTakenIdentifiersAndDestinationsOfOtherLoggers) {
    const auto logger = PRQLogger::make("one", false);
    const auto other = PRQLogger::make("two", false);
    const auto a = recorder("a");
    EXPECT_TRUE(logger->add(a));
    EXPECT_EQ(a->owner(), logger);
    EXPECT_FALSE(logger->add(a));
    const auto twin = recorder("a");
    EXPECT_FALSE(logger->add(twin));
    EXPECT_EQ(twin->owner(), nullptr);
    EXPECT_EQ(logger->destinations().size(), 1u);

    EXPECT_FALSE(other->remove(a));
    EXPECT_FALSE(other->remove("a"));
    EXPECT_FALSE(logger->remove("missing"));
    EXPECT_EQ(logger->destination("A"), nullptr);

    EXPECT_TRUE(other->add(a));  // moves over
    EXPECT_TRUE(logger->destinations().empty());
    EXPECT_EQ(a->owner(), other);
    EXPECT_EQ(other->destination("a"), a);

    EXPECT_TRUE(other->remove("a"));
    EXPECT_EQ(a->owner(), nullptr);
    EXPECT_TRUE(other->destinations().empty());
}

TEST(LoggerRegistry, ADestinationWhoseOwnerWasClearedStaysSilentUntilTheNextRemoval) {
    const auto logger = PRQLogger::make("registry", false);
    const auto cleared = recorder("cleared");
    const auto removed = recorder("removed");
    const auto kept = recorder("kept");
    for (const auto& destination : {cleared, removed, kept}) logger->add(destination);
    cleared->setOwner(nullptr);

    logger->info([] { return "line"; });
    EXPECT_TRUE(cleared->lines().empty());
    EXPECT_EQ(kept->lines(), Lines{"> line"});
    EXPECT_EQ(logger->destinations().size(), 3u);
    EXPECT_FALSE(logger->remove(cleared));

    EXPECT_TRUE(logger->remove(removed));
    EXPECT_EQ(logger->destinations(), PRQLogger::DestinationList{kept});
}

TEST(Logger, DestinationsHoldTheirLoggerWeakly) {
    const auto destination = recorder("survivor");
    std::weak_ptr<PRQLogger> gone;
    {
        const auto logger = PRQLogger::make("short-lived", false);
        logger->add(destination);
        gone = logger;
    }
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(destination->owner(), nullptr);
    destination->process(prq::LogDetails(Level::error, {}, "unheard", "", "", 0));
    EXPECT_TRUE(destination->lines().empty());
}

TEST(Logger, OutputLevelSetsEveryRegisteredDestinationOnlyWhenItChanges) {
    const auto logger = PRQLogger::make("levels", false);
    const auto low = recorder("low", Level::verbose);
    const auto file = std::make_shared<prq::FileDestination>(
        nullptr, platform::foundation::Url::fromString("https://example.com").value(), "file");
    logger->add(low);
    logger->add(file);
    logger->setOutputLevel(Level::warning);
    EXPECT_EQ(logger->outputLevel(), Level::warning);
    EXPECT_EQ(low->outputLevel(), Level::warning);
    EXPECT_EQ(file->outputLevel(), Level::warning);

    const auto later = recorder("later", Level::verbose);
    logger->add(later);
    EXPECT_EQ(later->outputLevel(), Level::verbose);
    low->setOutputLevel(Level::error);
    EXPECT_EQ(low->outputLevel(), Level::error);
}

TEST(Logger, ExecFollowsTheLoggersOwnLevelNotTheDestinations) {
    const auto logger = PRQLogger::make("exec", false);
    logger->add(recorder("everything", Level::verbose));
    logger->setOutputLevel(Level::info);
    int runs = 0;
    logger->debugExec([&] { ++runs; });
    EXPECT_EQ(runs, 0);
    logger->errorExec([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    logger->exec(Level::info, [&] { ++runs; });
    EXPECT_EQ(runs, 2);
}

TEST(Logger, InternalMessagesSkipTheirSourceAtErrorAndAbove) {
    const struct {
        Level level;
        bool sourceReceives;
    } cases[] = {{Level::info, true}, {Level::warning, true}, {Level::error, false}, {Level::emergency, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(prq::description(c.level));
        const auto logger = PRQLogger::make("internal", false);
        const auto source = recorder("source", Level::verbose);
        const auto other = recorder("other", Level::verbose);
        const auto strict = recorder("strict", Level::severe);
        for (const auto& destination : {source, other, strict}) logger->add(destination);

        logger->_logln("report", c.level, source.get());
        EXPECT_EQ(source->lines().size(), c.sourceReceives ? 1u : 0u);
        EXPECT_EQ(other->lines(), Lines{"> report"});
        EXPECT_EQ(strict->lines().size(), c.level >= Level::severe ? 1u : 0u);
    }
}

// Code that runs while the process exits (an atexit handler, a static destructor) may log after
// the thread's own storage is gone: its line still reaches the file, straight or through a record.
TEST(Logger, LogsWhileTheProcessExits) {
    const TemporaryFolder folder;
    const auto straight = folder / "straight.log", recorded = folder / "recorded.log";
    static std::shared_ptr<PRQLogger> exiting;
    EXPECT_EXIT(
        {
            exiting = PRQLogger::make("exiting", false);
            for (const auto& path : {straight, recorded}) {
                const auto file = std::make_shared<prq::FileDestination>(nullptr, path.string(), path.filename().string());
                corvantis::testing::showMessagesOnly(*file);
                exiting->add(file);
            }
            const auto marked = std::make_shared<prq::PrePostFixLogFormatter>();
            marked->apply("(recorded) ");
            exiting->destination("recorded.log")->setFormatters(prq::FormatterList{marked});
            exiting->info([] { return std::string(100, 'b'); });  // the thread's storage is in use
            std::atexit([] { exiting->info([] { return "during exit " + std::string(100, 'e'); }); });
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const auto during = "during exit " + std::string(100, 'e');
    EXPECT_EQ(corvantis::testing::readLines(straight).back(), "> " + during);
    EXPECT_EQ(corvantis::testing::readLines(recorded).back(), "(recorded) > " + during);
}

// Keeps every line; counts the filters alive.
class CountedFilter final : public prq::FilterProtocol {
public:
    CountedFilter() { ++alive; }
    ~CountedFilter() override { --alive; }
    bool shouldExclude(prq::LogDetails&, std::string&) override { return false; }
    std::string debugDescription() const override { return "CountedFilter"; }
    static inline std::atomic<int> alive{0};
};

// Settings change while other threads log: each line shows the settings of one moment, whole,
// straight from the call and through a record alike; and the values that changes replace are
// freed rather than kept for as long as the logger lives.
TEST(Logger, SettingsChangedWhileOthersLogApplyWholeAndReplacedOnesAreFreed) {
    const TemporaryFolder folder;
    const auto path = folder / "changing.log";
    const auto logger = PRQLogger::make("changing", false);
    const auto file = std::make_shared<prq::FileDestination>(nullptr, path.string(), "file");
    corvantis::testing::showMessagesOnly(*file);
    const auto lines = recorder("lines");
    for (const auto& destination : std::vector<prq::DestinationPtr>{file, lines}) ASSERT_TRUE(logger->add(destination));

    std::atomic<bool> done = false;
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 3; ++writer) {
        writers.emplace_back([&] {
            while (!done) logger->info([] { return "steady"; });
        });
    }
    for (int change = 0; change < 2000; ++change) {
        const bool odd = change % 2;
        file->setShowLevel(odd);
        lines->setShowLevel(!odd);
        lines->setFilters(prq::FilterList{std::make_shared<CountedFilter>()});
        logger->setIdentifier("changing " + std::to_string(change));
        logger->setDateFormatter(odd ? std::make_shared<platform::foundation::DateFormatter>("HH:mm") : nullptr);
    }
    done = true;
    for (auto& writer : writers) writer.join();

    for (const auto& all : {corvantis::testing::readLines(path), lines->lines()}) {
        for (const auto& line : all) {
            if (line.starts_with("> PRQLogger ") || line.find("PID: ") != std::string::npos) continue;
            ASSERT_TRUE(line == "> steady" || line == "[Info] > steady") << line;
        }
    }
    lines->setFilters(std::nullopt);
    EXPECT_EQ(CountedFilter::alive, 0);
}

class AppDetails : public ::testing::Test {
protected:
    std::string header(const std::string& buildText) {
        return "> " + std::string(program_invocation_short_name) + " " + buildText + "PID: " + std::to_string(::getpid());
    }
    void useBundle(const std::string& info) {
        if (!info.empty()) {
            ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder_ / "Info.json", info, 0644));
        }
        services_.emplace(corvantis::testing::servicesWithBundle(folder_.path()));
    }

    TemporaryFolder folder_;
    std::optional<platform::ScopedServices> services_;
};

TEST_F(AppDetails, NameTheProcessItsVersionAndTheLoggersLevel) {
    useBundle(R"({"CFBundleShortVersionString": "1.2", "CFBundleVersion": "34"})");
    const auto logger = PRQLogger::make("app", false);
    const auto lines = recorder("lines");
    logger->add(lines);
    logger->setOutputLevel(Level::info);
    logger->logAppDetails();
    logger->logAppDetails();
    EXPECT_EQ(lines->lines(), (Lines{header("Version: 1.2 Build: 34 "), "> PRQLogger Version: 7.0.1 - Level: Info"}));
    EXPECT_TRUE(lines->haveLoggedAppDetails());
}

TEST_F(AppDetails, LeaveOutWhatTheBundleDoesNotTell) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"CFBundleShortVersionString": "1.2"})", "Version: 1.2 "},
        {R"({"CFBundleVersion": "34"})", "Build: 34 "},
        {R"({"CFBundleVersion": 34})", ""},
        {"", ""},
    };
    for (const auto& [info, buildText] : cases) {
        SCOPED_TRACE(info);
        useBundle(info);
        const auto logger = PRQLogger::make("app", false);
        const auto lines = recorder("lines");
        logger->add(lines);
        logger->logAppDetails(lines.get());
        ASSERT_EQ(lines->lines().size(), 2u);
        EXPECT_EQ(lines->lines()[0], header(buildText));
        std::filesystem::remove(folder_ / "Info.json");
    }
}

TEST_F(AppDetails, WaitForADestinationThatDoesNotTakeInfoYet) {
    useBundle("");
    const auto logger = PRQLogger::make("app", false);
    const auto strict = recorder("strict", Level::warning);
    logger->add(strict);
    logger->logAppDetails();
    EXPECT_TRUE(strict->lines().empty());
    EXPECT_FALSE(strict->haveLoggedAppDetails());
    strict->setOutputLevel(Level::info);
    logger->logAppDetails(strict.get());
    EXPECT_EQ(strict->lines().size(), 2u);
}

TEST(Logger, DebugDescriptionListsTheDestinationsBetweenCarriageReturns) {
    const auto logger = PRQLogger::make("described");
    const auto console = logger->destinations().front();
    EXPECT_EQ(console->debugDescription(),
              "ConsoleDestination: com.amberfieldworks.prqlogger.logdestination.console - Level: Debug "
              "showLogIdentifier: false showFunctionName: true showThreadName: false showLevel: true "
              "showFileName: true showLineNumber: true showDate: true");
    EXPECT_EQ(logger->debugDescription(), "PRQLogger: described - destinations: \r\t " + console->debugDescription() + "\r");
}

TEST(DefaultLogger, LivesOnceAndTheFreeCallsWriteThroughIt) {
    const auto& logger = PRQLogger::defaultLogger();
    EXPECT_EQ(&PRQLogger::defaultLogger(), &logger);
    EXPECT_EQ(logger->identifier(), prq::Constants::defaultInstanceIdentifier);
    ASSERT_NE(logger->destination(prq::Constants::baseConsoleDestinationIdentifier), nullptr);

    const auto lines = recorder("default-test");
    logger->add(lines);
    prq::info([] { return "free"; });
    logger->info([] { return "member"; });
    prq::notice();
    int runs = 0;
    prq::errorExec([&] { ++runs; });
    logger->remove(lines);
    EXPECT_EQ(lines->lines(), (Lines{"> free", "> member", "> "}));
    EXPECT_EQ(runs, 1);
}

}  // namespace

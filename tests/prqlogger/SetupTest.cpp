// Configuring a logger the way the application does at start-up.
#include "PRQLogger/Destinations/ConsoleDestination.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "RecordingDestination.hpp"
#include "TestServices.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <unistd.h>

using corvantis::testing::TemporaryFolder;
using platform::foundation::Url;
using prq::Constants;
using prq::FileDestination;
using prq::Level;
using prq::PRQLogger;
using Lines = std::vector<std::string>;
using Console = corvantis::testing::RecordingDestination<prq::ConsoleDestination>;

namespace {

class Setup : public ::testing::Test {
protected:
    Setup() {
        logger_->setDateFormatter(std::make_shared<platform::foundation::DateFormatter>("HH:mm", true));
        logger_->add(console_);
    }

    Lines fileLines(const std::filesystem::path& path) const {
        Lines lines;
        std::istringstream stream(platform::foundation::FileSystem::readFile(path).value());
        for (std::string line; std::getline(stream, line);) lines.push_back(line);
        return lines;
    }
    std::shared_ptr<FileDestination> fileDestination() const {
        return std::dynamic_pointer_cast<FileDestination>(logger_->destination(Constants::fileDestinationIdentifier));
    }

    const std::string header_ = std::string(program_invocation_short_name) + " PID: " + std::to_string(::getpid());
    TemporaryFolder folder_;
    TemporaryFolder emptyBundle_;
    corvantis::testing::VirtualTime time_{corvantis::testing::servicesWithBundle(emptyBundle_.path())};
    std::shared_ptr<PRQLogger> logger_ = PRQLogger::make("app", false);
    std::shared_ptr<Console> console_ = std::make_shared<Console>(std::string(Constants::baseConsoleDestinationIdentifier));
};

TEST_F(Setup, WithoutAFileConfiguresTheConsoleAndWritesTheHeaderThere) {
    logger_->setup(Level::info, true, false, true, false, false, false, false);
    EXPECT_EQ(logger_->outputLevel(), Level::info);
    EXPECT_EQ(console_->outputLevel(), Level::info);
    EXPECT_TRUE(console_->showLogIdentifier());
    EXPECT_FALSE(console_->showFunctionName());
    EXPECT_TRUE(console_->showThreadName());
    EXPECT_FALSE(console_->showLevel());
    EXPECT_FALSE(console_->showFileName());
    EXPECT_FALSE(console_->showLineNumber());
    EXPECT_FALSE(console_->showDate());
    EXPECT_EQ(logger_->destinations().size(), 1u);
    EXPECT_EQ(console_->lines(), (Lines{"[app] > " + header_, "[app] > PRQLogger Version: 7.0.1 - Level: Info"}));
}

TEST_F(Setup, TheConsoleNamesTheLogFileBeforeTheHeaderAndTheFileAfterIt) {
    const auto path = folder_ / "CorvantisVPN_071220262202.log";
    logger_->setup(Level::debug, false, true, false, true, true, true, true, path);
    const std::string opened = "22:02 [Info] > PRQLogger writing log to: " + Url::fileUrl(path.string()).absoluteString();
    const Lines header = {"22:02 [Info] > " + header_, "22:02 [Info] > PRQLogger Version: 7.0.1 - Level: Debug"};
    EXPECT_EQ(console_->lines(), (Lines{opened, header[0], header[1]}));
    EXPECT_EQ(fileLines(path), (Lines{header[0], header[1], opened}));

    logger_->info([] { return "started"; }, {}, prq::CallSite("applicationDidFinishLaunching()", "/src/AppDelegate.cpp", 40));
    EXPECT_EQ(fileLines(path).back(), "22:02 [Info] [AppDelegate.cpp:40] applicationDidFinishLaunching() > started");
}

TEST_F(Setup, ASecondSetupKeepsTheFirstFileAndDoesNotRepeatTheHeader) {
    logger_->setup(Level::debug, false, true, false, true, true, true, true, folder_ / "first.log");
    const auto first = fileDestination();
    const auto consoleLines = console_->lines().size();
    logger_->setup(Level::debug, false, true, false, true, true, true, true, folder_ / "second.log");
    EXPECT_EQ(fileDestination(), first);
    EXPECT_EQ(logger_->destinations().size(), 2u);
    EXPECT_FALSE(platform::foundation::FileSystem::fileExists(folder_ / "second.log"));
    EXPECT_EQ(console_->lines().size(), consoleLines);
}

TEST_F(Setup, AfterTheConsoleWasRemovedOnlyTheFileIsConfigured) {
    ASSERT_TRUE(logger_->remove(Constants::baseConsoleDestinationIdentifier));
    logger_->setup(Level::notice, false, true, false, true, true, true, true, folder_ / "only.log", Level::verbose);
    EXPECT_EQ(logger_->destinations().size(), 1u);
    ASSERT_TRUE(fileDestination());
    EXPECT_EQ(fileDestination()->outputLevel(), Level::verbose);
    EXPECT_EQ(console_->outputLevel(), Level::debug);
}

TEST_F(Setup, AWebAddressGivesAFileDestinationWithoutAFile) {
    logger_->setup(Level::debug, false, true, false, true, true, true, true,
                   Url::fromString("https://example.com/run.log").value());
    const auto file = fileDestination();
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->isOpen());
    EXPECT_TRUE(file->haveLoggedAppDetails());
}

TEST_F(Setup, AQuietConsoleMissesTheInfoLinesThatAVerboseFileGets) {
    const auto path = folder_ / "verbose.log";
    logger_->setup(Level::warning, false, true, false, true, true, true, true, path, Level::debug);
    EXPECT_TRUE(console_->lines().empty());
    EXPECT_EQ(fileLines(path).size(), 3u);
    EXPECT_EQ(fileDestination()->outputLevel(), Level::debug);
}

TEST(DefaultLoggerSetup, TheFreeFormConfiguresTheDefaultLogger) {
    TemporaryFolder folder;
    const auto& logger = PRQLogger::defaultLogger();
    prq::setup(Level::debug, false, true, false, true, true, true, true, folder / "default.log", Level::error);
    const auto file = logger->destination(Constants::fileDestinationIdentifier);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->outputLevel(), Level::error);
    EXPECT_TRUE(logger->remove(file));
}

}  // namespace

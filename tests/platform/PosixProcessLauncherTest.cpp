#include "platform/foundation/PosixProcessLauncher.hpp"
#include "support/ProgramRun.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <future>
#include <mutex>
#include <unistd.h>

using corvantis::testing::runProgram;
using platform::foundation::InputPipe;
using platform::foundation::OutputStream;
using platform::foundation::PosixProcessLauncher;
using platform::foundation::ProcessExit;
using platform::foundation::ProcessRequest;

namespace {

TEST(PosixProcessLauncher, SeparatesTheStreamsAndReportsTheExitStatus) {
    const auto result = runProgram({"/bin/sh", {"-c", "printf out; printf err >&2; exit 3"}, {}});
    EXPECT_EQ(result.standardOutput, "out");
    EXPECT_EQ(result.standardError, "err");
    EXPECT_EQ(result.exit.exitStatus, 3);
    EXPECT_FALSE(result.exit.succeeded());

    const auto killed = runProgram({"/bin/sh", {"-c", "kill -TERM $$"}, {}});
    EXPECT_EQ(killed.exit.signal, SIGTERM);
}

TEST(PosixProcessLauncher, MarksTheEndOfBothStreamsBeforeReportingTheExit) {
    struct Seen {
        std::mutex mutex;
        int streamEnds = 0;
        std::promise<int> endsAtExit;
    };
    auto seen = std::make_shared<Seen>();
    auto launched = PosixProcessLauncher::shared()->launch({"/bin/sh", {"-c", "printf out; printf err >&2"}, {}},
                                                           {[seen](OutputStream, std::string_view chunk) {
                                                                std::lock_guard lock(seen->mutex);
                                                                if (chunk.empty()) ++seen->streamEnds;
                                                            },
                                                            [seen](ProcessExit) {
                                                                std::lock_guard lock(seen->mutex);
                                                                seen->endsAtExit.set_value(seen->streamEnds);
                                                            }});
    ASSERT_TRUE(launched);
    EXPECT_EQ(seen->endsAtExit.get_future().get(), 2);
}

TEST(PosixProcessLauncher, ArgumentsReachTheProgramVerbatimWithoutAShell) {
    const std::string hostile = "a b; echo injected $(id) `id` > /dev/null";
    const auto result = runProgram({"/bin/echo", {hostile, "*"}, {}});
    EXPECT_EQ(result.standardOutput, hostile + " *\n");
}

TEST(PosixProcessLauncher, StandardInputIsEmptyAndTheEnvironmentIsFixed) {
    ::setenv("CORVANTIS_LAUNCHER_LEAK", "caller's value", 1);
    const auto input = runProgram({"/bin/cat", {}, {}});
    EXPECT_EQ(input.standardOutput, "");
    EXPECT_TRUE(input.exit.succeeded());

    const auto environment = runProgram({"/usr/bin/env", {}, {}});
    EXPECT_EQ(environment.standardOutput.find("CORVANTIS_LAUNCHER_LEAK"), std::string::npos);
    EXPECT_NE(environment.standardOutput.find("PATH=/usr/local/sbin:"), std::string::npos);
    ::unsetenv("CORVANTIS_LAUNCHER_LEAK");
}

TEST(PosixProcessLauncher, ProgramsGetTheirOwnProcessGroupAndDefaultSignals) {
    // Fields 1 and 5 of /proc/self/stat are the process id and its process group.
    const auto group =
        runProgram({"/bin/sh", {"-c", "read -r pid name state parent group rest < /proc/self/stat; echo $pid $group"}, {}});
    const auto space = group.standardOutput.find(' ');
    ASSERT_NE(space, std::string::npos);
    EXPECT_EQ(group.standardOutput.substr(0, space) + "\n", group.standardOutput.substr(space + 1));

    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    const auto status = runProgram({"/bin/grep", {"SigIgn", "/proc/self/status"}, {}});
    std::signal(SIGPIPE, previous);
    const auto mask = std::stoull(status.standardOutput.substr(status.standardOutput.find(':') + 1), nullptr, 16);
    EXPECT_EQ(mask & (1ull << (SIGPIPE - 1)), 0u) << status.standardOutput;
}

TEST(PosixProcessLauncher, RunsInTheGivenFolder) {
    const auto result = runProgram({"/bin/pwd", {}, "/usr"});
    EXPECT_EQ(result.standardOutput, "/usr\n");
}

TEST(PosixProcessLauncher, RefusesRelativeAndMissingProgramsAsValues) {
    bool called = false;
    auto relative = PosixProcessLauncher::shared()->launch({"sh", {}, {}},
                                                           {[&](auto, auto) { called = true; }, [&](auto) { called = true; }});
    ASSERT_FALSE(relative);
    EXPECT_NE(relative.error().message.find("absolute path"), std::string::npos);
    auto missing = PosixProcessLauncher::shared()->launch({"/no/such/program", {}, {}},
                                                          {[&](auto, auto) { called = true; }, [&](auto) { called = true; }});
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_FALSE(called);
}

TEST(PosixProcessLauncher, StandardInputCanBeAPipeTheCallerWritesTo) {
    auto pipe = InputPipe::make();
    ASSERT_TRUE(pipe);
    ASSERT_TRUE(pipe.value()->write("first line\n"));
    ASSERT_TRUE(pipe.value()->write("second\n"));
    pipe.value()->closeWriter();
    const auto result = runProgram({"/bin/cat", {}, {}, pipe.value()});
    EXPECT_EQ(result.standardOutput, "first line\nsecond\n");
    // The launcher closed its copy of the reading end; the pipe cannot start a second program.
    EXPECT_LT(pipe.value()->reader(), 0);
    EXPECT_FALSE(PosixProcessLauncher::shared()->launch({"/bin/cat", {}, {}, pipe.value()}, {}));
    EXPECT_FALSE(pipe.value()->write("more"));
}

TEST(PosixProcessLauncher, ASignalReachesTheWholeProcessGroupOfAStartedProgram) {
    auto started = std::make_shared<std::promise<void>>();
    auto ended = std::make_shared<std::promise<ProcessExit>>();
    // The shell's child holds standard output open: the run can only end once it is gone too.
    auto launched =
        PosixProcessLauncher::shared()->launch({"/bin/sh", {"-c", "sleep 1000 & echo started; wait"}, {}},
                                               {[started](OutputStream stream, std::string_view chunk) {
                                                    if (stream == OutputStream::standardOutput && chunk == "started\n")
                                                        started->set_value();
                                                },
                                                [ended](ProcessExit exit) { ended->set_value(exit); }});
    ASSERT_TRUE(launched);
    started->get_future().wait();
    ASSERT_TRUE(PosixProcessLauncher::shared()->signalProcessGroup(launched.value(), SIGTERM));
    EXPECT_EQ(ended->get_future().get().signal, SIGTERM);
}

TEST(PosixProcessLauncher, NeverSignalsItsOwnGroupInitOrTheKernel) {
    for (const pid_t group : {::getpgrp(), pid_t{0}, pid_t{1}, pid_t{-7}}) {
        const auto sent = PosixProcessLauncher::shared()->signalProcessGroup(group, SIGTERM);
        ASSERT_FALSE(sent) << group;
        EXPECT_EQ(sent.error().code, EPERM);
    }
}

}  // namespace

#include "app/RequestQueue.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/Fakes.hpp"

#include <gtest/gtest.h>

using corvantis::RequestQueue;
using corvantis::RQOperation;
using platform::foundation::URLRequest;

namespace {

constexpr const char* site = "https://files.corvantis.test/";

// A queue whose transfers move when the test answers them, with a log of every completion.
class RequestQueueTest : public ::testing::Test {
protected:
    static RQOperation::Request request(const std::string& name) {
        auto made = std::make_shared<URLRequest>();
        made->url = site + name;
        return made;
    }

    std::shared_ptr<RQOperation> operation(const std::string& name, RQOperation::Request with = nullptr) {
        auto made = RQOperation::operationWithRequest(with ? std::move(with) : request(name));
        made->completionHandler = [this, name](const auto&, const auto& data, const auto& error) {
            completions.push_back(name + (error ? " " + std::to_string(error->code) : " " + data.value_or("")));
        };
        return made;
    }

    std::shared_ptr<RQOperation> add(const std::string& name) {
        auto made = operation(name);
        queue->addOperation(made);
        return made;
    }

    static std::vector<std::string> named(const std::vector<std::string>& urls) {
        std::vector<std::string> names;
        for (const auto& url : urls) names.push_back(url.substr(std::string(site).size()));
        return names;
    }
    // The transfers under way, in the order they started.
    std::vector<std::string> running() const { return named(session->runningUrls()); }
    // Every transfer ever started, in order.
    std::vector<std::string> started() const {
        std::vector<std::string> urls;
        for (const auto& transfer : session->transfers()) urls.push_back(transfer->request.url);
        return named(urls);
    }
    std::vector<std::string> queued() const {
        std::vector<std::string> urls;
        for (const auto& queuedRequest : queue->requests()) urls.push_back(queuedRequest->url);
        return named(urls);
    }

    void finish(const std::string& name) {
        session->answer(site + name, 200, {"done"});
        environment.runMainQueue();
    }

    // Ends what a test left running and lets the connections' last events run: a running
    // operation and its connection hold each other until the transfer ends.
    void TearDown() override {
        queue->cancelAllRequests();
        environment.runMainQueue();
    }

    std::shared_ptr<corvantis::testing::ManualURLSession> session = std::make_shared<corvantis::testing::ManualURLSession>();
    corvantis::testing::AppTestEnvironment environment{session};
    std::shared_ptr<RequestQueue> queue = RequestQueue::make();
    std::vector<std::string> completions;
};

TEST_F(RequestQueueTest, AtMostTwoRunAndTheNextStartsWhenOneFinishes) {
    add("a");
    add("b");
    add("c");
    EXPECT_EQ(running(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(queue->requestCount(), 3u);

    finish("b");
    EXPECT_EQ(running(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(queued(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(completions, std::vector<std::string>{"b done"});
    finish("a");
    finish("c");
    EXPECT_EQ(queue->requestCount(), 0u);
}

TEST_F(RequestQueueTest, ALimitOfZeroRunsEverythingAtOnce) {
    queue->maxConcurrentRequestCount = 0;
    for (const auto* name : {"a", "b", "c", "d", "e"}) add(name);
    EXPECT_EQ(running(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST_F(RequestQueueTest, FirstInFirstOutAndLastInFirstOut) {
    for (const auto mode : {RequestQueue::firstInFirstOut, RequestQueue::lastInFirstOut, std::int32_t{-7}}) {
        auto modeQueue = RequestQueue::make();
        modeQueue->queueMode = mode;
        modeQueue->maxConcurrentRequestCount = 1;
        const auto prefix = std::to_string(mode) + "-";
        for (const auto* name : {"a", "b", "c", "d"}) modeQueue->addOperation(operation(prefix + name));
        for (int finished = 0; finished < 4; ++finished) finish(running().front());
        const std::vector<std::string> expected = mode == RequestQueue::firstInFirstOut
                                                      ? std::vector<std::string>{"a", "b", "c", "d"}
                                                      : std::vector<std::string>{"a", "d", "c", "b"};
        std::vector<std::string> order;
        for (const auto& name : started()) {
            if (name.starts_with(prefix)) order.push_back(name.substr(prefix.size()));
        }
        EXPECT_EQ(order, expected) << "mode " << mode;
    }
}

TEST_F(RequestQueueTest, LastInFirstOutPlacesTheNewcomerRightBehindTheRunningOnes) {
    queue->queueMode = RequestQueue::lastInFirstOut;
    add("a");
    add("b");
    add("c");
    add("d");
    EXPECT_EQ(queued(), (std::vector<std::string>{"a", "b", "d", "c"}));
}

TEST_F(RequestQueueTest, AnEqualRequestCancelsTheQueuedOneUnlessDuplicatesAreAllowed) {
    add("a");
    add("b");
    queue->addOperation(operation("a again", request("a")));
    EXPECT_EQ(completions, std::vector<std::string>{"a -999"});
    EXPECT_EQ(queued(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(running(), (std::vector<std::string>{"b", "a"}));

    queue->allowDuplicateRequests = true;
    queue->addOperation(operation("b again", request("b")));
    EXPECT_EQ(queued(), (std::vector<std::string>{"b", "a", "b"}));
    EXPECT_EQ(completions.size(), 1u);
}

TEST_F(RequestQueueTest, RequestsThatDifferInMethodBodyOrHeaderAreNoDuplicates) {
    add("a");
    auto post = std::make_shared<URLRequest>(*request("a"));
    post->httpMethod = "POST";
    auto withHeader = std::make_shared<URLRequest>(*request("a"));
    withHeader->setValue("1", "X-Attempt");
    queue->addOperation(operation("post", post));
    queue->addOperation(operation("header", withHeader));
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(queue->requestCount(), 3u);
}

TEST_F(RequestQueueTest, CancellingARequestTakesTheVeryObjectNotAnEqualOne) {
    queue->allowDuplicateRequests = true;
    const auto first = request("a");
    queue->addOperation(operation("first", first));
    queue->addOperation(operation("second", request("a")));
    queue->cancelRequest(request("a"));
    EXPECT_TRUE(completions.empty());
    queue->cancelRequest(first);
    EXPECT_EQ(completions, std::vector<std::string>{"first -999"});
    EXPECT_EQ(queue->requestCount(), 1u);
}

TEST_F(RequestQueueTest, CancellingEverythingEmptiesTheListAndEndsEachOperation) {
    queue->maxConcurrentRequestCount = 1;
    const auto a = add("a");
    const auto b = add("b");
    queue->cancelAllRequests();
    EXPECT_EQ(queue->requestCount(), 0u);
    EXPECT_EQ(completions, (std::vector<std::string>{"a -999", "b -999"}));
    EXPECT_TRUE(a->isFinished() && a->isCancelled());
    EXPECT_TRUE(b->isFinished() && b->isCancelled());
    EXPECT_EQ(started(), std::vector<std::string>{"a"});
    EXPECT_TRUE(session->runningUrls().empty());
}

TEST_F(RequestQueueTest, AnOperationCancelledBeforeItStartsNeverHoldsASlot) {
    queue->maxConcurrentRequestCount = 1;
    add("a");
    const auto b = add("b");
    add("c");
    b->cancel();
    EXPECT_EQ(completions, std::vector<std::string>{"b -999"});
    EXPECT_TRUE(b->isFinished());
    EXPECT_FALSE(b->isExecuting());
    EXPECT_EQ(queued(), (std::vector<std::string>{"a", "c"}));

    finish("a");
    EXPECT_EQ(running(), std::vector<std::string>{"c"});
    EXPECT_EQ(started(), (std::vector<std::string>{"a", "c"}));
}

TEST_F(RequestQueueTest, AnOperationCancelledBeforeItIsAddedIsNotQueued) {
    const auto cancelled = operation("a");
    cancelled->cancel();
    queue->addOperation(cancelled);
    EXPECT_EQ(queue->requestCount(), 0u);
    add("b");
    EXPECT_EQ(running(), std::vector<std::string>{"b"});
}

TEST_F(RequestQueueTest, ASuspendedQueueStartsNothingUntilItResumes) {
    queue->setSuspended(true);
    add("a");
    add("b");
    add("c");
    EXPECT_TRUE(queue->isSuspended());
    EXPECT_TRUE(running().empty());
    queue->setSuspended(false);
    EXPECT_EQ(running(), (std::vector<std::string>{"a", "b"}));

    queue->setSuspended(true);
    finish("a");
    EXPECT_EQ(running(), std::vector<std::string>{"b"});
    queue->setSuspended(false);
    EXPECT_EQ(running(), (std::vector<std::string>{"b", "c"}));
}

TEST_F(RequestQueueTest, ANewLimitTakesEffectAtTheNextChange) {
    queue->maxConcurrentRequestCount = 1;
    add("a");
    add("b");
    add("c");
    queue->maxConcurrentRequestCount = 3;
    EXPECT_EQ(running(), std::vector<std::string>{"a"});
    add("d");
    EXPECT_EQ(running(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(RequestQueueTest, TheCompletionRunsAfterTheQueueHasMovedOn) {
    queue->maxConcurrentRequestCount = 1;
    const auto a = add("a");
    const auto b = add("b");
    std::vector<std::string> seen;
    a->completionHandler = [&](const auto&, const auto&, const auto&) {
        seen = queued();
        seen.push_back(b->isExecuting() ? "b running" : "b waiting");
    };
    finish("a");
    EXPECT_EQ(seen, (std::vector<std::string>{"b", "b running"}));
}

TEST_F(RequestQueueTest, AddingARequestMakesItsOperation) {
    std::optional<std::string> body;
    queue->addRequest(request("a"), [&](const auto&, const auto& data, const auto&) { body = data; });
    ASSERT_EQ(queue->operations().size(), 1u);
    EXPECT_EQ(queue->operations().front()->request()->url, std::string(site) + "a");
    finish("a");
    EXPECT_EQ(body, "done");
}

}  // namespace

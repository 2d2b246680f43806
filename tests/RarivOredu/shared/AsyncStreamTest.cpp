#include "RarivOredu/shared/AsyncStream.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace rarivoredu {
namespace {

using Stream = AsyncStream<std::string>;

std::vector<std::string> drain(Stream& stream) {
    std::vector<std::string> elements;
    while (auto element = stream.next()) elements.push_back(*element);
    return elements;
}

TEST(AsyncStreamTest, TheConsumerGetsWhatWasQueuedBeforeTheEnd) {
    struct Case {
        const char* name;
        bool destroyContinuation;  // instead of finishing it
    };
    for (const Case c : {Case{"finished", false}, Case{"continuation gone", true}}) {
        SCOPED_TRACE(c.name);
        auto [stream, continuation] = Stream::makeStream();
        EXPECT_TRUE(continuation.yield("a"));
        EXPECT_TRUE(continuation.yield("b"));
        if (c.destroyContinuation) {
            auto gone = std::move(continuation);
        } else {
            continuation.finish();
            EXPECT_TRUE(continuation.isTerminated());
            EXPECT_FALSE(continuation.yield("late"));
        }
        EXPECT_EQ(drain(stream), (std::vector<std::string>{"a", "b"}));
        EXPECT_FALSE(stream.next());
    }
}

TEST(AsyncStreamTest, AConsumerThatLeftMakesTheProducerDropItsElements) {
    auto [stream, continuation] = Stream::makeStream();
    continuation.yield("unread");
    { auto gone = std::move(stream); }
    EXPECT_TRUE(continuation.isTerminated());
    EXPECT_FALSE(continuation.yield("dropped"));
}

TEST(AsyncStreamTest, NextWaitsForProducersOnOtherThreads) {
    auto [stream, continuation] = Stream::makeStream();
    EXPECT_FALSE(stream.tryNext());
    std::vector<std::thread> producers;
    for (int p = 0; p < 3; ++p) {
        producers.emplace_back([&continuation, p] {
            for (int i = 0; i < 100; ++i) continuation.yield(std::to_string(p));
        });
    }
    std::vector<int> perProducer(3);
    for (int i = 0; i < 300; ++i) ++perProducer[std::stoi(*stream.next())];
    for (auto& producer : producers) producer.join();
    EXPECT_EQ(perProducer, (std::vector<int>{100, 100, 100}));

    std::thread finisher([&continuation] { continuation.finish(); });
    EXPECT_FALSE(stream.next());
    finisher.join();
}

TEST(AsyncStreamTest, AssigningAContinuationEndsTheStreamItReplaces) {
    auto [first, firstContinuation] = Stream::makeStream();
    auto [second, secondContinuation] = Stream::makeStream();
    firstContinuation.yield("kept");
    firstContinuation = std::move(secondContinuation);
    EXPECT_EQ(drain(first), (std::vector<std::string>{"kept"}));
    firstContinuation.yield("to the second");
    EXPECT_EQ(second.tryNext(), "to the second");
}

}  // namespace
}  // namespace rarivoredu

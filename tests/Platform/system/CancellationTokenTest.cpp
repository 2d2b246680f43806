#include "Platform/system/CancellationToken.h"

#include <gtest/gtest.h>

#include <thread>

#include "Platform/system/CocoaError.h"

namespace {

using platform::CancellationToken;

TEST(CancellationTokenTest, TheCurrentTokenIsTheInnermostScopeOfThisThreadOnly) {
    EXPECT_FALSE(CancellationToken::currentIsCancelled());
    EXPECT_NO_THROW(CancellationToken::checkCancellation());

    CancellationToken outer;
    const CancellationToken copy = outer;  // copies share the request
    CancellationToken::Scope outerScope(outer);
    copy.cancel();
    EXPECT_TRUE(outer.isCancelled());
    EXPECT_TRUE(CancellationToken::currentIsCancelled());
    try {
        CancellationToken::checkCancellation();
        ADD_FAILURE() << "no error";
    } catch (const platform::NSError& error) {
        EXPECT_EQ(error.domain(), platform::CocoaError::domain);
        EXPECT_EQ(error.code(), platform::CocoaError::userCancelled);
    }
    {
        CancellationToken::Scope inner{CancellationToken()};
        EXPECT_FALSE(CancellationToken::currentIsCancelled());
    }
    EXPECT_TRUE(CancellationToken::currentIsCancelled());

    bool otherThreadSeesIt = true;
    std::thread([&] { otherThreadSeesIt = CancellationToken::currentIsCancelled(); }).join();
    EXPECT_FALSE(otherThreadSeesIt);
}

}  // namespace

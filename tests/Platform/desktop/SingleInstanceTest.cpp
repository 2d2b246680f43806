#include "Platform/desktop/SingleInstance.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"

namespace {

using parloquin_test::PrivateSessionBus;
using parloquin_test::waitUntil;
using platform::SingleInstance;
using Claim = SingleInstance::Claim;

const QString kId = QStringLiteral("org.example.Dictation");

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start"; }
    PrivateSessionBus bus;
};

TEST_F(SingleInstanceTest, ALaterCopyActivatesTheFirstAndTheNameIsFreeAgainWhenTheFirstEnds) {
    int firstActivations = 0, laterActivations = 0;
    auto first = std::make_unique<SingleInstance>(bus.connect("first"), kId);
    EXPECT_EQ(first->objectPath(), "/org/example/Dictation");
    ASSERT_EQ(first->claim([&] { ++firstActivations; }), Claim::owned);

    for (const char* name : {"second", "third"}) {
        SingleInstance later(bus.connect(name), kId);
        EXPECT_EQ(later.claim([&] { ++laterActivations; }), Claim::handedOver) << name;
    }
    EXPECT_TRUE(waitUntil([&] { return firstActivations == 2; }));
    EXPECT_EQ(laterActivations, 0);

    first.reset();
    SingleInstance next(bus.connect("next"), kId);
    EXPECT_EQ(next.claim([] {}), Claim::owned);
}

TEST_F(SingleInstanceTest, AnOwnerThatDoesNotAnswerOrNoBusAtAllIsReported) {
    QDBusConnection squatter = bus.connect("squatter");
    ASSERT_TRUE(squatter.registerService(kId));  // the name, but no one answers on the path
    SingleInstance later(bus.connect("later"), kId);
    EXPECT_EQ(later.claim([] {}, 2000), Claim::ownerSilent);

    SingleInstance lonely(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/parloquin-bus"), "none"),
                          kId);
    EXPECT_EQ(lonely.claim([] {}), Claim::noBus);
}

// A desktop shortcut's command: sent to the copy that runs, refused when that copy does not offer
// it, and "not running" where nobody owns the name, so that the caller can start instead.
TEST_F(SingleInstanceTest, ActionsReachTheOwnerAndNoOwnerIsToldApart) {
    SingleInstance caller(bus.connect("action-caller"), kId);
    EXPECT_EQ(caller.request("start", 2000), SingleInstance::Request::notRunning);

    QStringList performed;
    int activations = 0;
    SingleInstance owner(bus.connect("action-owner"), kId);
    ASSERT_EQ(owner.claim([&] { ++activations; }, {"start", "stop"}, [&](const QString& a) { performed << a; }),
              Claim::owned);
    EXPECT_EQ(caller.request("start"), SingleInstance::Request::done);
    EXPECT_EQ(caller.request("reboot"), SingleInstance::Request::refused);
    // A later copy that starts for a command hands the command over instead of activating.
    // (Connection names are the process's: each test uses its own.)
    SingleInstance later(bus.connect("action-later"), kId);
    EXPECT_EQ(later.claim([] {}, {}, {}, "stop"), Claim::handedOver);
    EXPECT_TRUE(waitUntil([&] { return performed.size() == 2; }));
    EXPECT_EQ(performed, (QStringList{"start", "stop"}));
    EXPECT_EQ(activations, 0);

    SingleInstance lonely(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/parloquin-bus"), "none"),
                          kId);
    EXPECT_EQ(lonely.request("start"), SingleInstance::Request::noBus);
}

}  // namespace

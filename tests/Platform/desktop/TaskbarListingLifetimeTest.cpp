// The listing belongs to the application object. A program that makes a second application after
// the first is gone (or calls in while none exists any more) must get a listing that is alive.
#include "Platform/desktop/TaskbarListing.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWindow>

namespace {

using platform::TaskbarListing;

TEST(TaskbarListingLifetimeTest, TheListingOfAnApplicationThatIsGoneIsNeverUsed) {
    int argc = 1;
    char name[] = "taskbar-listing-lifetime";
    char* argv[] = {name, nullptr};
    {
        QGuiApplication first(argc, argv);
        TaskbarListing& listing = TaskbarListing::shared();
        EXPECT_EQ(listing.parent(), &first);
        listing.setListed(false);
    }
    QGuiApplication second(argc, argv);
    TaskbarListing& listing = TaskbarListing::shared();
    EXPECT_EQ(listing.parent(), &second);
    EXPECT_TRUE(listing.isListed());
    listing.setListed(false);
    QWindow window;
    window.show();
}

}  // namespace

#include <gtest/gtest.h>

#include <QWidget>

#include "Parloquin/app/FloatingDictationControlWindow.h"
#include "Parloquin/app/QtApplicationActivation.h"
#include "Parloquin/app/QtRecordingOverlayWindow.h"

namespace {

using parloquin::ActivationPolicy;
using parloquin::QtApplicationActivation;

TEST(QtApplicationActivationTest, OnlyNormalTitledWindowsCountAsOpenWindows) {
    QtApplicationActivation activation;
    EXPECT_EQ(activation.activationPolicy(), ActivationPolicy::accessory);
    activation.setActivationPolicy(ActivationPolicy::regular);
    EXPECT_EQ(activation.activationPolicy(), ActivationPolicy::regular);

    // The tray application's own floating windows are no reason to stay regular.
    parloquin::FloatingDictationControlWindow button({});
    button.orderFront();
    parloquin::QtRecordingOverlayWindow overlay([] { return 0.0f; });
    overlay.show();
    EXPECT_FALSE(activation.hasVisibleTitledWindow());

    QWidget untitled;
    untitled.show();
    EXPECT_FALSE(activation.hasVisibleTitledWindow());

    QWidget window;
    window.setWindowTitle("Parloquin");
    window.show();
    EXPECT_TRUE(activation.hasVisibleTitledWindow());
    window.hide();
    EXPECT_FALSE(activation.hasVisibleTitledWindow());
}

}  // namespace

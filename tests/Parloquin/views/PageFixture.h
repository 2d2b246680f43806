#pragma once

// A page's surroundings: its own settings store, a desktop that records what the page asks of it
// (task bar policy, alerts) and a login item in a folder of the test's own.

#include <QAbstractButton>
#include <QScrollArea>
#include <QTest>
#include <QWidget>
#include <memory>

#include "Parloquin/views/PageContext.h"
#include "Platform/desktop/SMAppService.h"
#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/support/TemporaryDirectory.h"

namespace parloquin_test {

struct PageFixture {
    PageFixture() {
        store.defaults().registerDefaults(registered());
        alerts->response = parloquin::alertFirstButtonReturn;
    }

    // What the launch registers of the general page's keys.
    static std::map<std::string, platform::UserDefaults::Value> registered() {
        using Value = platform::UserDefaults::Value;
        return {{"autoSendText", Value(false)},           {"privacyModeEnabled", Value(false)},
                {"automaticUpdates", Value(true)},        {"showDockIcon", Value(false)},
                {"launchAtLogin", Value(false)},          {"recordingOverlayStyle", Value(std::string("default"))},
                {"showRecordingTimer", Value(false)},     {"shareAnalytics", Value(false)},
                {"spokenFormattingCommandsEnabled", Value(true)}, {"showFloatingDictationControl", Value(true)}};
    }

    parloquin::PageContext context() {
        parloquin::PageContext context;
        context.defaults = &store.defaults();
        context.alerts = alerts;
        context.application = application;
        context.loginItem = loginItem;
        return context;
    }

    std::filesystem::path autostartEntry() const { return home / "autostart/parloquin.desktop"; }

    storetest::Store store;
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::shared_ptr<FakeActivation> application = std::make_shared<FakeActivation>();
    testsupport::TemporaryDirectory home;
    std::shared_ptr<platform::SMAppService> loginItem =
        std::make_shared<platform::SMAppService>(home / "autostart/parloquin.desktop", "/opt/parloquin/parloquin");
};

// A user's click where the control is, the page scrolled to show it first.
inline void clickOnPage(QScrollArea& page, QWidget* control) {
    page.ensureWidgetVisible(control);
    QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
}

// A user's click on a switch or a segment.
inline void click(QWidget* control) {
    auto* button = qobject_cast<QAbstractButton*>(control);
    ASSERT_TRUE(button);
    button->click();
}

}  // namespace parloquin_test

#include "Parloquin/views/SettingBinding.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <thread>

#include "Parloquin/views/SegmentedPicker.h"
#include "Parloquin/views/ToggleSwitch.h"
#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace {

using parloquin::SettingBinding;
using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;
using Value = platform::UserDefaults::Value;

TEST(SettingBindingTest, AValueOfTheWrongTypeReadsAsTheDefault) {
    struct Case {
        const char* name;
        std::optional<Value> stored;
        Value defaultValue;
        Value read;
    };
    const std::vector<Case> cases = {
        {"nothing stored", std::nullopt, Value(true), Value(true)},
        {"a switch", Value(false), Value(true), Value(false)},
        {"a number as a switch", Value(std::int64_t(1)), Value(false), Value(true)},
        {"zero as a switch", Value(0.0), Value(true), Value(false)},
        {"text for a switch", Value(std::string("yes")), Value(false), Value(false)},
        {"a choice", Value(std::string("compact")), Value(std::string("default")), Value(std::string("compact"))},
        {"a switch for a choice", Value(true), Value(std::string("default")), Value(std::string("default"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storetest::Store store;
        if (c.stored) {
            ASSERT_TRUE(store.defaults().set("key", *c.stored));
        }
        SettingBinding binding(store.defaults(), "key", c.defaultValue);
        EXPECT_EQ(binding.value(), c.read);
    }
}

TEST(SettingBindingTest, ControlsWriteAtOnceAndFollowChangesFromAnywhere) {
    storetest::Store store;
    SettingBinding flag(store.defaults(), "showRecordingTimer", Value(false));
    SettingBinding choice(store.defaults(), "recordingOverlayStyle", Value(std::string("default")));
    parloquin::ToggleSwitch toggle, second;
    parloquin::SegmentedPicker picker({{"Standard", "default"}, {"Kompakt", "compact"}, {"Versteckt", "hidden"}});
    flag.bindToggle(&toggle);
    flag.bindToggle(&second);
    choice.bindPicker(&picker);
    int changes = 0;
    QObject::connect(&flag, &SettingBinding::changed, [&] { ++changes; });
    toggle.show();
    picker.show();

    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_TRUE(store.defaults().boolForKey("showRecordingTimer"));  // written before any event runs
    QTest::mouseClick(picker.segment("hidden"), Qt::LeftButton);
    EXPECT_EQ(store.defaults().stringForKey("recordingOverlayStyle"), "hidden");
    drainEventLoop();
    EXPECT_TRUE(second.isChecked());
    EXPECT_EQ(changes, 1);

    // Written on another thread (as the dictation service may): the controls move on ours.
    std::thread([&] { store.defaults().setBool("showRecordingTimer", false); }).join();
    std::thread([&] { store.defaults().setString("recordingOverlayStyle", "something else"); }).join();
    EXPECT_TRUE(waitUntil([&] { return !toggle.isChecked() && !second.isChecked(); }));
    EXPECT_TRUE(waitUntil([&] { return picker.value().isEmpty(); }));  // no segment for that value
    EXPECT_EQ(changes, 2);
}

// A read-only or full folder: the switch keeps what the user chose, and the store saves it later.
TEST(SettingBindingTest, AWriteThatFailsKeepsTheChoiceUnsaved) {
    storetest::Store store;
    SettingBinding flag(store.defaults(), "autoSendText", Value(false));
    parloquin::ToggleSwitch toggle;
    flag.bindToggle(&toggle);
    toggle.show();
    store.writer().failAt = testsupport::FaultyFileWriter::Step::rename;
    store.writer().errorCode = EROFS;

    QTest::mouseClick(&toggle, Qt::LeftButton);
    parloquin_test::drainEventLoop();
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_TRUE(store.defaults().boolForKey("autoSendText"));
    EXPECT_TRUE(store.defaults().hasUnsavedChanges());

    store.writer().failAt = testsupport::FaultyFileWriter::Step::none;
    ASSERT_TRUE(store.defaults().save());
    store.open();
    EXPECT_TRUE(store.defaults().boolForKey("autoSendText"));
}

}  // namespace

// The hotkeys page as a person uses it, with a hotkey manager on fake hot keys and taps (or none):
// presets, the recorder and what it does to the global hotkey, the grants, the pickers and the reset.
#include "Parloquin/views/HotkeysSettingsView.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <set>

#include "Parloquin/hotkeys/HotkeyManager.h"
#include "Parloquin/hotkeys/HotkeyRecorder.h"
#include "Parloquin/hotkeys/KeyNames.h"
#include "Parloquin/hotkeys/UserDefaultsHotkeySettings.h"
#include "Parloquin/services/PasteHelper.h"
#include "Parloquin/views/CurrentHotkeyStatus.h"
#include "Parloquin/views/HotkeyDisplay.h"
#include "Parloquin/views/HotkeyPresetRow.h"
#include "Parloquin/views/HotkeysSettings.h"
#include "Parloquin/views/SegmentedPicker.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/ToggleSwitch.h"
#include "tests/Parloquin/views/PageFixture.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;
using parloquin_test::FakeHotkeyDesktop;
using parloquin_test::HotKeyRegistration;
using Registered = std::set<HotKeyRegistration>;
using Value = platform::UserDefaults::Value;

// The grants PasteHelper reports, for one test.
class Grants {
public:
    Grants() {
        auto desktop = PasteHelper::desktop();
        desktop.permissions = probe;
        previous_ = PasteHelper::setDesktop(desktop);
    }
    ~Grants() { PasteHelper::setDesktop(previous_); }
    std::shared_ptr<parloquin_test::FakePermissions> probe = std::make_shared<parloquin_test::FakePermissions>();

private:
    PasteHelper::Desktop previous_;
};

// The labels a person sees in a widget, in order.
std::vector<std::string> visibleTexts(const QWidget* widget) {
    std::vector<std::string> texts;
    for (const QLabel* label : widget->findChildren<QLabel*>())
        if (label->isVisibleTo(widget) && !label->text().isEmpty()) texts.push_back(label->text().toStdString());
    return texts;
}

class HotkeysSettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::map<std::string, Value> registered = {{"primaryHotkeyKeyCode", Value(std::int64_t(49))},
                                                   {"primaryHotkeyModifiers", Value(std::int64_t(0x1800))},
                                                   {"primaryHotkeyIsSingleKey", Value(false)}};
        for (const auto& field : HotkeysSettings::fields()) registered.emplace(field.key, field.defaultValue);
        defaults().registerDefaults(registered);
    }

    void makeManager() {
        manager = std::make_unique<HotkeyManager>(hotkeySettings, desktop.environment());
        manager->onHotkeyPressed = [this] { ++hotkeyPresses; };
    }
    void open() {
        PageContext context = fixture.context();
        context.hotkeyManager = manager.get();
        page = std::make_unique<HotkeysSettingsView>(context);
        page->resize(720, 640);
        page->show();
        drainEventLoop();
    }
    void click(QWidget* control) {
        parloquin_test::clickOnPage(*page, control);
        drainEventLoop();
    }
    HotkeyPresetRow* preset(const std::string& title) {
        for (HotkeyPresetRow* row : page->presetRows())
            if (row->preset() == title) return row;
        return nullptr;
    }
    std::vector<std::string> selectedPresets() {
        std::vector<std::string> selected;
        for (HotkeyPresetRow* row : page->presetRows())
            if (row->isSelected()) selected.push_back(row->preset());
        return selected;
    }
    // The four keys as stored.
    std::tuple<std::string, std::int64_t, std::int64_t, bool> stored() {
        return {defaults().stringForKey("primaryHotkey").value_or(""), defaults().integerForKey("primaryHotkeyKeyCode"),
                defaults().integerForKey("primaryHotkeyModifiers"), defaults().boolForKey("primaryHotkeyIsSingleKey")};
    }
    // A key event as the desktop delivers it to the page's window.
    void key(QEvent::Type type, unsigned keycode, Qt::Key qtKey, Qt::KeyboardModifiers modifiers, quint64 time) {
        QKeyEvent event(type, qtKey, modifiers, keycode, 0, 0);
        event.setTimestamp(time);
        QCoreApplication::sendEvent(page->window()->windowHandle(), &event);
    }
    platform::UserDefaults& defaults() { return fixture.store.defaults(); }

    parloquin_test::PageFixture fixture;
    Grants grants;
    FakeHotkeyDesktop desktop;
    UserDefaultsHotkeySettings hotkeySettings{fixture.store.defaults()};
    std::unique_ptr<HotkeyManager> manager;
    int hotkeyPresses = 0;
    std::unique_ptr<HotkeysSettingsView> page;
};

// Every preset stores its text and the three keys together, with a manager or without one.
TEST_F(HotkeysSettingsViewTest, APresetStoresAllFourKeys) {
    const struct {
        const char* preset;
        std::int64_t keyCode, modifiers;
        bool single;
        Registered registered;
        bool tap;
    } cases[] = {
        {"⌥", 58, 0x800, true, {}, true},
        {"⌘", 55, 0x100, true, {}, true},
        {"⌥Space", 49, 0x800, false, {{49, 0x800}}, false},
        {"⌃⌥Space", 49, 0x1800, false, {{49, 0x1800}}, false},
        {"⇧⌘Space", 49, 0x300, false, {{49, 0x300}}, false},
    };
    for (bool withManager : {false, true}) {
        SCOPED_TRACE(withManager ? "with a manager" : "without a manager");
        if (withManager) makeManager();
        open();
        for (const auto& c : cases) {
            SCOPED_TRACE(c.preset);
            ASSERT_TRUE(preset(c.preset));
            click(preset(c.preset));
            EXPECT_EQ(stored(), std::make_tuple(std::string(c.preset), c.keyCode, c.modifiers, c.single));
            EXPECT_EQ(selectedPresets(), std::vector<std::string>{c.preset});
            EXPECT_EQ(page->hotkeyDisplay()->hotkey().toStdString(), hotkeyLabel(c.preset));
            if (withManager) {
                EXPECT_EQ(desktop.target->registered, c.registered);
                EXPECT_EQ(manager->hasEventTap(), c.tap);
            }
        }
        // A text that is no preset changes nothing.
        page->applyPreset("Space");
        EXPECT_EQ(stored(), std::make_tuple(std::string("⇧⌘Space"), std::int64_t(49), std::int64_t(0x300), false));
        // Earlier versions stored the same keys as "⌘⇧Space": its row is the one chosen, and it is kept.
        page->applyPreset("⌘⇧Space");
        drainEventLoop();
        EXPECT_EQ(stored(), std::make_tuple(std::string("⌘⇧Space"), std::int64_t(49), std::int64_t(0x300), false));
        EXPECT_EQ(selectedPresets(), std::vector<std::string>{"⇧⌘Space"});
        EXPECT_EQ(page->hotkeyDisplay()->hotkey().toStdString(), "Umschalt+Super+Leertaste");
        page.reset();
    }
}

TEST_F(HotkeysSettingsViewTest, ARecordedHotkeyStoresAllFourKeysWithoutAManager) {
    open();
    page->applyRecordedHotkey("⌃⇧K", 40, 0x1200, false);
    drainEventLoop();
    EXPECT_EQ(stored(), std::make_tuple(std::string("⌃⇧K"), std::int64_t(40), std::int64_t(0x1200), false));
    EXPECT_TRUE(selectedPresets().empty());
    page->applyRecordedHotkey("⌃", 59, 0x1000, true);
    EXPECT_EQ(stored(), std::make_tuple(std::string("⌃"), std::int64_t(59), std::int64_t(0x1000), true));
}

// The hotkey the user presses to record must not start a dictation: the manager lets go of it
// while the recorder listens, and takes it back however the recording ends.
TEST_F(HotkeysSettingsViewTest, RecordingLetsGoOfTheGlobalHotkeyUntilItEnds) {
    enum class End { displayClicked, escape, capture, pageHidden, pageGone };
    const struct {
        const char* name;
        End end;
        Registered after;
    } cases[] = {
        {"Abbrechen", End::displayClicked, {{49, 0x1800}}},
        {"Escape", End::escape, {{49, 0x1800}}},
        {"a key captured", End::capture, {{40, 0x900}}},
        {"another page shown", End::pageHidden, {{49, 0x1800}}},
        {"the page gone", End::pageGone, {{49, 0x1800}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* key : {"primaryHotkey", "primaryHotkeyKeyCode", "primaryHotkeyModifiers"})
            defaults().removeObject(key);
        makeManager();
        open();
        ASSERT_EQ(desktop.target->registered, (Registered{{49, 0x1800}}));
        EXPECT_FALSE(page->recordingHint()->isVisible());

        click(page->hotkeyDisplay());
        EXPECT_TRUE(page->hotkeyRecorder().isRecording());
        EXPECT_TRUE(desktop.target->registered.empty());
        EXPECT_TRUE(manager->isSuspended());
        EXPECT_TRUE(page->recordingHint()->isVisible());
        EXPECT_EQ(page->hotkeyDisplay()->label(), "Aufnahme...");
        EXPECT_EQ(page->hotkeyDisplay()->action(), "Abbrechen");
        desktop.target->fire(platform::kEventHotKeyPressed);
        drainEventLoop();
        EXPECT_EQ(hotkeyPresses, 0);

        switch (c.end) {
            case End::displayClicked: click(page->hotkeyDisplay()); break;
            case End::escape: key(QEvent::KeyPress, 9, Qt::Key_Escape, Qt::NoModifier, 10); break;
            case End::capture: key(QEvent::KeyPress, 45, Qt::Key_K, Qt::AltModifier | Qt::MetaModifier, 10); break;
            case End::pageHidden: page->hide(); break;
            case End::pageGone: page.reset(); break;
        }
        drainEventLoop();
        EXPECT_FALSE(manager->isSuspended());
        EXPECT_EQ(desktop.target->registered, c.after);
        if (page) {
            EXPECT_FALSE(page->hotkeyRecorder().isRecording());
            EXPECT_EQ(page->hotkeyDisplay()->action(), "Ändern");
            EXPECT_FALSE(page->recordingHint()->isVisibleTo(page.get()));
        }
        if (c.end == End::capture) {
            EXPECT_EQ(stored(), std::make_tuple(std::string("⌥⌘K"), std::int64_t(40), std::int64_t(0x900), false));
        } else {
            EXPECT_EQ(defaults().stringForKey("primaryHotkey"), "⌃⌥Space");
        }
        page.reset();
        manager.reset();
        hotkeyPresses = 0;
    }
}

// The reset: the five settings, and the default Strg+Alt+Leertaste registered with the manager.
TEST_F(HotkeysSettingsViewTest, ResetWritesTheDefaultsAndRegistersTheDefaultHotkey) {
    makeManager();
    open();
    click(preset("⌥"));
    ASSERT_TRUE(manager->hasEventTap());
    click(page->recordingModePicker()->segment("hold"));
    click(page->cancelKeyPicker()->segment("none"));
    click(page->pasteInPlaceSwitch());
    click(page->feedbackSwitch());
    ASSERT_EQ(defaults().stringForKey("recordingMode"), "hold");
    ASSERT_EQ(defaults().stringForKey("cancelHotkey"), "none");
    ASSERT_FALSE(defaults().boolForKey("pasteInPlaceMode"));
    ASSERT_FALSE(defaults().boolForKey("hotkeyFeedback"));

    click(page->resetButton());
    EXPECT_TRUE(fixture.alerts->shown.empty()) << "no question first";
    EXPECT_EQ(stored(), std::make_tuple(std::string("⌃⌥Space"), std::int64_t(49), std::int64_t(0x1800), false));
    EXPECT_EQ(defaults().stringForKey("recordingMode"), "auto");
    EXPECT_EQ(defaults().stringForKey("cancelHotkey"), "Escape");
    EXPECT_TRUE(defaults().boolForKey("pasteInPlaceMode"));
    EXPECT_TRUE(defaults().boolForKey("hotkeyFeedback"));
    EXPECT_EQ(desktop.target->registered, (Registered{{49, 0x1800}}));
    EXPECT_FALSE(manager->hasEventTap());
    EXPECT_EQ(selectedPresets(), std::vector<std::string>{"⌃⌥Space"});
    EXPECT_EQ(page->recordingModePicker()->value(), "auto");
    EXPECT_EQ(page->cancelKeyPicker()->value(), "Escape");
    EXPECT_TRUE(page->pasteInPlaceSwitch()->isChecked());
    EXPECT_FALSE(page->conflictBanner()->isVisible());
}

TEST_F(HotkeysSettingsViewTest, GrantsAreLookedAtOnShowingAndWhenPasteInPlaceIsSwitched) {
    grants.probe->accessibility = false;
    grants.probe->inputMonitoring = false;
    defaults().setString("primaryHotkey", "⌘");
    defaults().setBool("primaryHotkeyIsSingleKey", true);
    open();
    EXPECT_FALSE(page->accessibilityGranted());
    EXPECT_TRUE(page->permissionWarnings()->isVisible());
    EXPECT_FALSE(page->readyLine()->isVisible());
    const auto lines = visibleTexts(page->permissionWarnings());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Auto-Einfügen braucht X11 mit XTEST oder KDE Plasma, GNOME oder sway unter Wayland");
    EXPECT_EQ(lines[1], "X11-Sitzung mit XInput 2 für Einzeltasten-Tastenkürzel (Super) erforderlich");
    for (QPushButton* button : page->permissionWarnings()->findChildren<QPushButton*>())
        ADD_FAILURE() << "a button that would open nothing: " << button->text().toStdString();
    EXPECT_EQ(page->statusCard()->textLabel()->text().toStdString(),
              "Noch nicht aktiv: Super braucht eine X11-Sitzung mit XInput 2; dann gilt das Ersatz-Tastenkürzel "
              "Umschalt+Super+Leertaste");
    EXPECT_TRUE(page->statusCard()->noteLabel()->isVisible());

    // Granted meanwhile: switching paste in place off and on looks again.
    grants.probe->accessibility = true;
    grants.probe->inputMonitoring = true;
    click(page->pasteInPlaceSwitch());
    EXPECT_TRUE(page->accessibilityGranted());
    EXPECT_TRUE(page->clipboardOnlyLine()->isVisible());
    EXPECT_FALSE(page->permissionWarnings()->isVisible());
    click(page->pasteInPlaceSwitch());
    EXPECT_TRUE(page->readyLine()->isVisible());
    EXPECT_EQ(page->statusCard()->textLabel()->text().toStdString(),
              "Noch nicht aktiv: Super (Halten-zum-Aufnehmen) gilt, sobald die Sprachmodelle geladen sind");
    EXPECT_FALSE(page->statusCard()->noteLabel()->isVisible());

    // Shown again, the page looks again.
    grants.probe->accessibility = false;
    page->hide();
    page->show();
    drainEventLoop();
    EXPECT_FALSE(page->accessibilityGranted());
    EXPECT_TRUE(page->permissionWarnings()->isVisible());
}

TEST_F(HotkeysSettingsViewTest, PickersAndSwitchesWriteAtOnceAndFollowChangesElsewhere) {
    open();
    const std::string automatic =
        "Automatisch: Strg+Alt+Leertaste drücken zum Starten und Stoppen (so bei Tastenkombinationen)";
    EXPECT_EQ(page->recordingModeHelp()->text().toStdString(), automatic);
    click(page->recordingModePicker()->segment("toggle"));
    EXPECT_EQ(defaults().stringForKey("recordingMode"), "toggle");
    EXPECT_EQ(page->recordingModeHelp()->text().toStdString(), "Drücke Strg+Alt+Leertaste zum Starten, nochmal zum Stoppen");
    EXPECT_EQ(page->statusCard()->textLabel()->text().toStdString(),
              "Noch nicht aktiv: Strg+Alt+Leertaste (Umschaltmodus) gilt, sobald die Sprachmodelle geladen sind");

    // Set elsewhere to a mode the picker does not know: no segment, the automatic help.
    defaults().setString("recordingMode", "x");
    drainEventLoop();
    EXPECT_EQ(page->recordingModePicker()->value(), "");
    EXPECT_EQ(page->recordingModeHelp()->text().toStdString(), automatic);
    defaults().setString("primaryHotkey", "⌥");
    drainEventLoop();
    EXPECT_EQ(page->recordingModeHelp()->text().toStdString(),
              "Automatisch: Alt halten zum Aufnehmen (so bei Einzeltasten)");
    EXPECT_EQ(page->hotkeyDisplay()->hotkey().toStdString(), "Alt");
    EXPECT_EQ(selectedPresets(), std::vector<std::string>{"⌥"});

    click(page->cancelKeyPicker()->segment("⌘."));
    EXPECT_EQ(defaults().stringForKey("cancelHotkey"), "⌘.");
    defaults().setString("cancelHotkey", "F1");
    drainEventLoop();
    EXPECT_EQ(page->cancelKeyPicker()->value(), "");

    click(page->feedbackSwitch());
    EXPECT_FALSE(defaults().boolForKey("hotkeyFeedback"));
    defaults().setBool("hotkeyFeedback", true);
    drainEventLoop();
    EXPECT_TRUE(page->feedbackSwitch()->isChecked());
    EXPECT_EQ(page->feedbackSwitch()->accessibleName(), "TASTENKÜRZEL-FEEDBACK");
}

}  // namespace
// The card says what the manager really registered: a combination another program holds is not
// shown as active, and a combination that works is.
TEST_F(HotkeysSettingsViewTest, TheStatusCardShowsTheRealRegistration) {
    desktop.target->refused = {{49, 0x1800}};
    makeManager();
    open();
    EXPECT_EQ(manager->registration(), HotkeyRegistration::none);
    EXPECT_EQ(page->statusCard()->textLabel()->text().toStdString(),
              "Nicht aktiv: Strg+Alt+Leertaste konnte nicht registriert werden – ein anderes Programm belegt es. Wähle "
              "ein anderes Tastenkürzel oder starte Aufnahmen über das Menü.");
    EXPECT_NE(page->statusCard()->textLabel()->palette().color(QPalette::WindowText),
              CurrentHotkeyStatus::color(HotkeysSettings::Tone::green));

    click(preset("⇧⌘Space"));
    EXPECT_EQ(manager->registration(), HotkeyRegistration::combination);
    EXPECT_EQ(page->statusCard()->textLabel()->text().toStdString(),
              "Aktiv: Umschalt+Super+Leertaste – Umschaltmodus");
    EXPECT_EQ(page->statusCard()->textLabel()->palette().color(QPalette::WindowText),
              CurrentHotkeyStatus::color(HotkeysSettings::Tone::green));
}

// Every text on the page names Linux keys: no Mac glyph, no Mac key name.
TEST_F(HotkeysSettingsViewTest, ThePageNamesTheKeysOfALinuxKeyboard) {
    open();
    std::vector<std::string> titles;
    for (HotkeyPresetRow* row : page->presetRows()) {
        titles.push_back(row->title().toStdString());
        for (const std::string& text : {row->title().toStdString(), row->description().toStdString()})
            for (const char* mac : {"⌘", "⌥", "⇧", "⌃", "Befehl", "Option", "Control"})
                EXPECT_EQ(text.find(mac), std::string::npos) << text;
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Alt", "Super", "Strg+Alt+Leertaste", "Alt+Leertaste",
                                                 "Umschalt+Super+Leertaste"}));
    std::vector<std::string> descriptions;
    for (HotkeyPresetRow* row : page->presetRows()) descriptions.push_back(row->description().toStdString());
    EXPECT_EQ(std::set<std::string>(descriptions.begin(), descriptions.end()).size(), descriptions.size())
        << "two presets with one label";
    for (const QLabel* label : page->findChildren<QLabel*>())
        for (const char* mac : {"⌘", "⌥", "⇧", "⌃", "Befehlstaste", "Optionstaste"})
            EXPECT_EQ(label->text().toStdString().find(mac), std::string::npos) << label->text().toStdString();
}

// In a Wayland session without the portal, the card says the desktop binds the hotkey and the
// lines to bind are under it; with the portal, the card shows what the desktop bound.
TEST_F(HotkeysSettingsViewTest, AWaylandSessionShowsWhatTheDesktopBindsOrWhatToBind) {
    qputenv("XDG_CURRENT_DESKTOP", "sway");
    HotkeyEnvironment environment = desktop.environment();
    environment.waylandSession = true;
    manager = std::make_unique<HotkeyManager>(hotkeySettings, std::move(environment));
    defaults().setString("recordingMode", "hold");
    open();
    EXPECT_EQ(manager->registration(), HotkeyRegistration::desktopShortcut);
    EXPECT_EQ(page->statusCard()->textLabel()->text().toStdString(),
              "Unter Wayland vergibt die Arbeitsoberfläche das Tastenkürzel: lege Strg+Alt+Leertaste dort an, wie "
              "unten beschrieben");
    ASSERT_TRUE(page->desktopShortcutHelp()->isVisible());
    EXPECT_EQ(page->desktopShortcutHelp()->text().toStdString(),
              "In der sway-Konfiguration (~/.config/sway/config), danach swaymsg reload:\n"
              "bindsym --no-repeat Ctrl+Alt+space exec parloquin --start\n"
              "bindsym --release Ctrl+Alt+space exec parloquin --stop");
    qunsetenv("XDG_CURRENT_DESKTOP");
    page.reset();
    manager.reset();

    // On X11 there is nothing to bind.
    makeManager();
    open();
    EXPECT_FALSE(page->desktopShortcutHelp()->isVisible());
}

}  // namespace parloquin

#pragma once

#include <QScrollArea>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "Parloquin/hotkeys/HotkeyTriple.h"
#include "Parloquin/views/PageContext.h"
#include "Parloquin/views/SettingOption.h"

class QLabel;
class QVBoxLayout;

namespace parloquin {

class CurrentHotkeyStatus;
class HotkeyDisplay;
class HotkeyPresetRow;
class HotkeyRecorder;
class SegmentedPicker;
class SettingBinding;
class StyledButton;
class ToggleSwitch;

// The page "Tastenkürzel": the dictation hotkey, recorded or taken from a preset and applied to the
// hotkey manager, with a card that says whether it works; the recording mode, paste in place with
// what it needs, the cancel key, the feedback sound, tips, and the reset of all of them.
//
// While a hotkey is being recorded the global hotkey is let go, so that pressing it is recorded
// rather than starting a dictation; it comes back when the recording ends, however it ends. The
// two grants are looked at when the page shows, every 2 s while it shows and paste in place is on,
// and when paste in place is switched.
class HotkeysSettingsView : public QScrollArea {
public:
    explicit HotkeysSettingsView(const PageContext& context, QWidget* parent = nullptr);
    ~HotkeysSettingsView() override;

    // The hotkey display's click: starts recording a hotkey, or ends the recording.
    void toggleRecording();
    // Stores the display text and the three keys of the hotkey, and hands it to the manager.
    void applyRecordedHotkey(const std::string& display, std::uint16_t keyCode, std::uint32_t modifiers,
                             bool isSingleKey);
    // The same for a preset's display text; a text that is no preset changes nothing.
    void applyPreset(const std::string& preset);
    void refreshPermissions();
    // Every setting of the page back to its default, and the default hotkey applied; no question.
    void resetToDefaults();

    bool accessibilityGranted() const { return accessibilityGranted_; }
    bool inputMonitoringGranted() const { return inputMonitoringGranted_; }
    bool showConflictWarning() const { return showConflictWarning_; }

    // What the page shows, for whoever looks.
    HotkeyRecorder& hotkeyRecorder() const { return *hotkeyRecorder_; }
    HotkeyDisplay* hotkeyDisplay() const { return hotkeyDisplay_; }
    QWidget* recordingHint() const { return recordingHint_; }
    CurrentHotkeyStatus* statusCard() const { return statusCard_; }
    // Under the card in a Wayland session without the portal: the desktop shortcut to make.
    QLabel* desktopShortcutHelp() const { return desktopShortcutHelp_; }
    const std::vector<HotkeyPresetRow*>& presetRows() const { return presetRows_; }
    SegmentedPicker* recordingModePicker() const { return recordingModePicker_; }
    QLabel* recordingModeHelp() const { return recordingModeHelp_; }
    ToggleSwitch* pasteInPlaceSwitch() const { return pasteSwitch_; }
    // The lines under the paste switch: exactly one of the three shows.
    QWidget* clipboardOnlyLine() const { return clipboardOnlyLine_; }
    QWidget* permissionWarnings() const { return permissionBlock_; }
    QWidget* readyLine() const { return readyLine_; }
    SegmentedPicker* cancelKeyPicker() const { return cancelKeyPicker_; }
    ToggleSwitch* feedbackSwitch() const { return feedbackSwitch_; }
    QWidget* conflictBanner() const { return conflictBanner_; }
    StyledButton* resetButton() const { return resetButton_; }

    static constexpr int permissionCheckInterval = 2000;  // ms

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    SettingBinding* binding(const std::string& key);
    // A picker of the setting's choices, bound to it.
    SegmentedPicker* picker(const std::string& key, const char* title, const std::vector<SettingOption>& options,
                            QWidget* parent);
    void applyHotkey(const std::string& display, const HotkeyTriple& hotkey);
    void recordingChanged(bool recording);
    // Everything that follows from the settings and the two grants.
    void refresh();
    void showPermissionHelp(bool storedSingleKey, const std::string& hotkey);

    QWidget* primarySection(QWidget* parent);
    QWidget* recordingModeSection(QWidget* parent);
    QWidget* presetsSection(QWidget* parent);
    QWidget* pasteSection(QWidget* parent);
    QWidget* cancelSection(QWidget* parent);
    QWidget* feedbackRow(QWidget* parent);
    QWidget* banner(QWidget* parent);
    QWidget* tipsSection(QWidget* parent);
    QWidget* resetSection(QWidget* parent);

    PageContext context_;
    platform::UserDefaults& defaults_;
    HotkeyManager* hotkeyManager_;
    std::vector<std::pair<std::string, SettingBinding*>> bindings_;
    HotkeyRecorder* hotkeyRecorder_;
    bool showConflictWarning_ = false;
    bool accessibilityGranted_ = false;
    bool inputMonitoringGranted_ = false;
    QTimer permissionTimer_;

    HotkeyDisplay* hotkeyDisplay_ = nullptr;
    QWidget* recordingHint_ = nullptr;
    CurrentHotkeyStatus* statusCard_ = nullptr;
    QLabel* desktopShortcutHelp_ = nullptr;
    std::vector<HotkeyPresetRow*> presetRows_;
    SegmentedPicker* recordingModePicker_ = nullptr;
    QLabel* recordingModeIcon_ = nullptr;
    QLabel* recordingModeHelp_ = nullptr;
    ToggleSwitch* pasteSwitch_ = nullptr;
    QWidget* clipboardOnlyLine_ = nullptr;
    QWidget* permissionBlock_ = nullptr;
    QVBoxLayout* permissionLines_ = nullptr;
    QWidget* readyLine_ = nullptr;
    SegmentedPicker* cancelKeyPicker_ = nullptr;
    ToggleSwitch* feedbackSwitch_ = nullptr;
    QWidget* conflictBanner_ = nullptr;
    StyledButton* resetButton_ = nullptr;
};

}  // namespace parloquin

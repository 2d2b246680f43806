#pragma once

// The names under which Parloquin keeps its settings in the user-defaults store. Every part of the
// application that reads or writes a setting names it through these, so that a key is spelt once;
// each one's type and default are in SettingsTable.
namespace parloquin::settings {

// Dictation
inline constexpr const char* kRecordingMode = "recordingMode";
inline constexpr const char* kPasteInPlaceMode = "pasteInPlaceMode";
inline constexpr const char* kAutoSendText = "autoSendText";
inline constexpr const char* kPrivacyModeEnabled = "privacyModeEnabled";
inline constexpr const char* kSpokenFormattingCommandsEnabled = "spokenFormattingCommandsEnabled";
inline constexpr const char* kCancelHotkey = "cancelHotkey";
inline constexpr const char* kHotkeyFeedback = "hotkeyFeedback";
inline constexpr const char* kSelectedAudioDeviceUID = "selectedAudioDeviceUID";

// The primary hotkey: its display text, and the key code and modifier mask it is registered with.
inline constexpr const char* kPrimaryHotkey = "primaryHotkey";
inline constexpr const char* kPrimaryHotkeyKeyCode = "primaryHotkeyKeyCode";
inline constexpr const char* kPrimaryHotkeyModifiers = "primaryHotkeyModifiers";
inline constexpr const char* kPrimaryHotkeyIsSingleKey = "primaryHotkeyIsSingleKey";
// A new user's hotkey, Strg+Alt+Leertaste (DefaultHotkey): its display text, key code and mask.
inline constexpr const char* kDefaultPrimaryHotkey = "⌃⌥Space";
inline constexpr long long kDefaultPrimaryHotkeyKeyCode = 49;
inline constexpr long long kDefaultPrimaryHotkeyModifiers = 0x1800;  // control 4096 + option 2048

// Stored and shown by the general page; no other part of the application reads them.
inline constexpr const char* kPostProcessingEnabled = "postProcessingEnabled";
inline constexpr const char* kPostProcessingMode = "postProcessingMode";
inline constexpr const char* kAutomaticUpdates = "automaticUpdates";
inline constexpr const char* kRecordingOverlayStyle = "recordingOverlayStyle";
inline constexpr const char* kShowRecordingTimer = "showRecordingTimer";
inline constexpr const char* kShareAnalytics = "shareAnalytics";

// The application on the desktop: its windows in the task bar, and its start at login.
inline constexpr const char* kShowDockIcon = "showDockIcon";
inline constexpr const char* kLaunchAtLogin = "launchAtLogin";

// Windows and one-time explanations
inline constexpr const char* kShowFloatingDictationControl = "showFloatingDictationControl";
inline constexpr const char* kHasShownFirstLaunchExplanation = "hasShownFirstLaunchExplanation";
inline constexpr const char* kHasShownAccessibilityGuidance = "hasShownAccessibilityGuidance";
// GNOME's RemoteDesktop portal's restore token: the next login's session starts without asking.
inline constexpr const char* kRemoteDesktopRestoreToken = "remoteDesktopRestoreToken";

}  // namespace parloquin::settings

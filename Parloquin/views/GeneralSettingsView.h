#pragma once

#include <QScrollArea>
#include <map>
#include <string>

#include "Parloquin/views/GeneralSettings.h"
#include "Parloquin/views/PageContext.h"

namespace parloquin {

class SettingBinding;
class StyledButton;

// The page "Allgemein": the twelve general settings as switches and two pickers, each bound live
// to its key; the task bar entry and the start at login applied to the desktop as they change;
// and the reset of all twelve after a question.
class GeneralSettingsView : public QScrollArea {
public:
    explicit GeneralSettingsView(const PageContext& context, QWidget* parent = nullptr);

    // The actions run when the settings change while the page is shown.
    void updateDockIcon(bool show);
    void updateLaunchAtLogin(bool enabled);
    // Asks first; only the first answer resets.
    void resetToDefaults();

    // The control bound to a setting: a switch or a picker.
    QWidget* control(const std::string& key) const;
    QWidget* privacyBanner() const { return privacyBanner_; }
    StyledButton* resetButton() const { return resetButton_; }

private:
    SettingBinding* binding(const std::string& key);
    QWidget* switchRow(const GeneralSettings::Entry& entry, QWidget* parent);
    QWidget* overlaySection(const GeneralSettings::Entry& entry, QWidget* parent);
    QWidget* resetSection(const GeneralSettings::Entry& entry, QWidget* parent);
    QWidget* banner(QWidget* parent);
    QWidget* picker(const GeneralSettings::Entry& entry, const std::vector<GeneralSettings::Option>& options,
                    int maximumWidth, QWidget* parent);

    PageContext context_;
    platform::UserDefaults& defaults_;
    std::map<std::string, SettingBinding*> bindings_;
    std::map<std::string, QWidget*> controls_;
    QWidget* privacyBanner_ = nullptr;
    StyledButton* resetButton_ = nullptr;
    // What the desktop was last told about the start at login.
    bool loginItemApplied_ = false;
};

}  // namespace parloquin

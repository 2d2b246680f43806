#pragma once

#include <QPointer>
#include <QScrollArea>
#include <functional>
#include <memory>
#include <string>

#include "Parloquin/views/PageContext.h"

class QAbstractButton;
class QLabel;
class QProgressBar;

namespace parloquin {

class OpenSourceLicensesView;
class SystemInfoView;

// The page "Sonstiges": the privacy promise, the version and the machine, the languages, the legal
// and help links, and the advanced tools: the model folder, clearing the cache, the diagnostics
// report. Its two sheets (notices, system information) open over the window.
class OtherSettingsView : public QScrollArea {
public:
    explicit OtherSettingsView(const PageContext& context, QWidget* parent = nullptr);

    // Opens a web or mail address; a text that forms none opens nothing.
    void openURL(const std::string& address);
    void showOpenSourceLicenses();
    void showSystemInfo();
    // Opens the speech library's folder in the file manager, making it first when it is missing.
    void showModelFolder();
    // Asks first; only the first answer clears.
    void confirmClearCache();
    // Asks where to save the report and saves it; a failed save is shown.
    void exportDiagnostics();

    // The sheets while they are open.
    OpenSourceLicensesView* openSourceLicensesSheet() const;
    SystemInfoView* systemInfoSheet() const;
    QLabel* modelFolderLabel() const { return modelFolderLabel_; }
    // What the last tool did (the folder opened, the cache cleared, the report saved), or empty.
    QLabel* toolStatus() const { return toolStatus_; }
    // While the speech models are set up: how far it has come (hidden otherwise).
    QProgressBar* modelProgressBar() const { return modelProgressBar_; }
    QLabel* modelProgressLabel() const { return modelProgressLabel_; }
    // After a failed start: why, and "Erneut versuchen" (hidden otherwise).
    QLabel* modelFailureLabel() const { return modelFailureLabel_; }
    QAbstractButton* retryButton() const { return retryButton_; }
    // A button or link row of the page by its text.
    QAbstractButton* button(const QString& text) const;

private:
    QWidget* privacySection(QWidget* parent);
    QWidget* aboutSection(QWidget* parent);
    QWidget* languagesSection(QWidget* parent);
    QWidget* legalSection(QWidget* parent);
    QWidget* supportSection(QWidget* parent);
    QWidget* advancedSection(QWidget* parent);
    // A link row at the end of the rows; the action runs when it is clicked.
    void addLinkRow(QWidget* rows, const char* icon, const char* title, const char* description,
                    std::function<void()> action);

    PageContext context_;
    std::shared_ptr<platform::NSWorkspace> workspace_;
    QPointer<OpenSourceLicensesView> licensesSheet_;
    QPointer<SystemInfoView> systemInfoSheet_;
    // Shows the dictation service's model setup as it is now.
    void updateModelProgress();

    QLabel* modelFolderLabel_ = nullptr;
    QLabel* toolStatus_ = nullptr;
    void showToolStatus(const std::string& text);
    QProgressBar* modelProgressBar_ = nullptr;
    QLabel* modelProgressLabel_ = nullptr;
    QLabel* modelFailureLabel_ = nullptr;
    QAbstractButton* retryButton_ = nullptr;
};

}  // namespace parloquin

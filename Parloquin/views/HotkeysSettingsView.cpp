#include "Parloquin/views/HotkeysSettingsView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/hotkeys/HotkeyManager.h"
#include "Parloquin/hotkeys/HotkeyRecorder.h"
#include "Parloquin/hotkeys/KeyNames.h"
#include "Parloquin/services/PasteHelper.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/views/CurrentHotkeyStatus.h"
#include "Parloquin/views/HotkeyDisplay.h"
#include "Parloquin/views/HotkeyPresetRow.h"
#include "Parloquin/views/HotkeysSettings.h"
#include "Parloquin/views/PageDivider.h"
#include "Parloquin/views/PageHeaderView.h"
#include "Parloquin/views/PageLayout.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/SecondaryButtonStyle.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SegmentedPicker.h"
#include "Parloquin/views/SettingBinding.h"
#include "Parloquin/views/SettingRow.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/SymbolRow.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Parloquin/views/ToggleSwitch.h"

namespace parloquin {
namespace {

using Settings = HotkeysSettings;
using Tone = HotkeysSettings::Tone;

constexpr int kSpacing = 32;
constexpr int kLineIconSize = 14;

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

QFont weighted(QFont font, QFont::Weight weight) {
    font.setWeight(weight);
    return font;
}

// A line of small text after a symbol, indented from the left.
SymbolRow* symbolLine(const char* symbol, Tone symbolTone, const QString& line, Tone textTone, QFont::Weight weight,
                      int indent, QWidget* parent) {
    auto* row = new SymbolRow(symbol, CurrentHotkeyStatus::color(symbolTone), line,
                              weighted(TextStyle::caption(), weight), CurrentHotkeyStatus::color(textTone), parent);
    row->layout()->setContentsMargins(indent, 0, 0, 0);
    return row;
}

void addDivided(QVBoxLayout* list, QWidget* widget, bool divider) {
    list->addWidget(widget);
    if (divider) list->addWidget(PageDivider::make(widget->parentWidget()));
}

}  // namespace

HotkeysSettingsView::HotkeysSettingsView(const PageContext& context, QWidget* parent)
    : QScrollArea(parent),
      context_(context),
      defaults_(context.defaults ? *context.defaults : platform::UserDefaults::standard()),
      hotkeyManager_(context.hotkeyManager),
      hotkeyRecorder_(new HotkeyRecorder(this)) {
    QVBoxLayout* page = PageLayout::scrollingPage(this, QStringLiteral("HotkeysSettingsContent"), kSpacing);
    QWidget* content = page->parentWidget();
    page->addWidget(new PageHeaderView(text(Settings::title), text(Settings::subtitle), content));

    auto* sections = new QWidget(content);
    auto* list = PageLayout::column(sections, kSpacing);
    addDivided(list, primarySection(sections), true);
    addDivided(list, recordingModeSection(sections), true);
    addDivided(list, presetsSection(sections), true);
    addDivided(list, pasteSection(sections), true);
    addDivided(list, cancelSection(sections), true);
    addDivided(list, feedbackRow(sections), true);
    addDivided(list, banner(sections), false);
    addDivided(list, tipsSection(sections), true);
    addDivided(list, resetSection(sections), false);
    page->addWidget(sections);
    page->addStretch(1);

    for (const auto& [key, bound] : bindings_)
        connect(bound, &SettingBinding::changed, this, [this] { refresh(); });
    // Switching paste in place looks at the grants at once, whichever way it went.
    connect(binding(settings::kPasteInPlaceMode), &SettingBinding::changed, this, [this] { refreshPermissions(); });
    connect(hotkeyRecorder_, &HotkeyRecorder::isRecordingChanged, this,
            [this](bool recording) { recordingChanged(recording); });

    permissionTimer_.setInterval(permissionCheckInterval);
    // The registration may change by itself (the fallback gives way once the grants are there):
    // the card follows it while the page shows.
    connect(&permissionTimer_, &QTimer::timeout, this, [this] {
        if (binding(settings::kPasteInPlaceMode)->boolValue())
            refreshPermissions();
        else
            refresh();
    });
    refresh();
}

HotkeysSettingsView::~HotkeysSettingsView() {
    // Leaving the page ends a recording, and the global hotkey comes back.
    hotkeyRecorder_->stopRecording();
}

SettingBinding* HotkeysSettingsView::binding(const std::string& key) {
    for (const auto& [bound, binding] : bindings_)
        if (bound == key) return binding;
    // The stored flag follows the hotkey; the page only reads it.
    const auto defaultValue =
        key == settings::kPrimaryHotkeyIsSingleKey ? platform::UserDefaults::Value(false) : Settings::defaultValue(key);
    auto* created = new SettingBinding(defaults_, key, defaultValue, this);
    bindings_.emplace_back(key, created);
    return created;
}

SegmentedPicker* HotkeysSettingsView::picker(const std::string& key, const char* title,
                                             const std::vector<SettingOption>& options, QWidget* parent) {
    auto* picker = new SegmentedPicker(SegmentedPicker::segments(options), parent);
    picker->setMaximumWidth(Settings::pickerWidth);
    picker->setAccessibleName(text(title));
    binding(key)->bindPicker(picker);
    return picker;
}

QWidget* HotkeysSettingsView::primarySection(QWidget* parent) {
    QWidget* primary = PageLayout::section(Settings::primaryTitle, Settings::primaryCaption, 12, parent);
    auto* layout = static_cast<QVBoxLayout*>(primary->layout());
    hotkeyDisplay_ = new HotkeyDisplay(primary);
    connect(hotkeyDisplay_, &QAbstractButton::clicked, this, [this] { toggleRecording(); });
    layout->addWidget(hotkeyDisplay_, 0, Qt::AlignLeft);

    recordingHint_ = symbolLine("info.circle.fill", Tone::blue, text(Settings::recordingHint), Tone::secondary,
                                QFont::Normal, 16, primary);
    recordingHint_->hide();
    layout->addWidget(recordingHint_);

    auto* card = new QWidget(primary);
    auto* cardLayout = PageLayout::column(card, 0);
    cardLayout->setContentsMargins(0, 8, 0, 0);
    statusCard_ = new CurrentHotkeyStatus(card);
    cardLayout->addWidget(statusCard_);
    desktopShortcutHelp_ = SecondaryText::label(QString(), TextStyle::caption(), card);
    desktopShortcutHelp_->setObjectName(QStringLiteral("DesktopShortcutHelp"));
    desktopShortcutHelp_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    desktopShortcutHelp_->setWordWrap(true);
    desktopShortcutHelp_->setContentsMargins(4, 8, 0, 0);
    desktopShortcutHelp_->hide();
    cardLayout->addWidget(desktopShortcutHelp_);
    layout->addWidget(card);
    binding(settings::kPrimaryHotkey);
    binding(settings::kRecordingMode);
    return primary;
}

QWidget* HotkeysSettingsView::recordingModeSection(QWidget* parent) {
    QWidget* modes = PageLayout::section(Settings::modeTitle, Settings::modeCaption, 12, parent);
    auto* layout = static_cast<QVBoxLayout*>(modes->layout());
    recordingModePicker_ = picker(settings::kRecordingMode, Settings::modeTitle, Settings::recordingModes(), modes);
    layout->addWidget(recordingModePicker_, 0, Qt::AlignLeft);

    auto* help = new QWidget(modes);
    auto* helpLayout = new QHBoxLayout(help);
    helpLayout->setContentsMargins(4, 0, 0, 0);
    helpLayout->setSpacing(8);
    recordingModeIcon_ = new QLabel(help);
    helpLayout->addWidget(recordingModeIcon_, 0, Qt::AlignVCenter);
    recordingModeHelp_ = SecondaryText::label(QString(), TextStyle::caption(), help);
    helpLayout->addWidget(recordingModeHelp_, 1, Qt::AlignVCenter);
    layout->addWidget(help);
    return modes;
}

QWidget* HotkeysSettingsView::presetsSection(QWidget* parent) {
    QWidget* presets = PageLayout::section(Settings::presetsTitle, Settings::presetsCaption, 16, parent);
    auto* layout = static_cast<QVBoxLayout*>(presets->layout());
    auto group = [&](const char* label, int topPadding, const std::vector<Settings::Preset>& rows) {
        auto* block = new QWidget(presets);
        auto* blockLayout = PageLayout::column(block, 12);
        blockLayout->setContentsMargins(0, topPadding, 0, 0);
        blockLayout->addWidget(
            SecondaryText::label(text(label), weighted(TextStyle::caption(), QFont::DemiBold), block));
        for (const auto& preset : rows) {
            auto* row = new HotkeyPresetRow(QString::fromStdString(hotkeyLabel(preset.title)), text(preset.description),
                                            preset.title, block);
            connect(row, &QAbstractButton::clicked, this, [this, title = std::string(preset.title)] { applyPreset(title); });
            presetRows_.push_back(row);
            blockLayout->addWidget(row);
        }
        layout->addWidget(block);
    };
    group(Settings::singleKeyGroup, 4, Settings::singleKeyPresets());
    group(Settings::combinationGroup, 12, Settings::combinationPresets());
    return presets;
}

QWidget* HotkeysSettingsView::pasteSection(QWidget* parent) {
    auto* paste = new QWidget(parent);
    auto* layout = PageLayout::column(paste, 12);
    pasteSwitch_ = new ToggleSwitch;
    binding(settings::kPasteInPlaceMode)->bindToggle(pasteSwitch_);
    layout->addWidget(new SettingRow(text(Settings::pasteTitle), text(Settings::pasteDescription), pasteSwitch_, paste));

    clipboardOnlyLine_ = symbolLine("info.circle.fill", Tone::blue, text(Settings::clipboardOnly), Tone::secondary,
                                    QFont::Normal, 16, paste);
    layout->addWidget(clipboardOnlyLine_);

    permissionBlock_ = new QWidget(paste);
    permissionLines_ = PageLayout::column(permissionBlock_, 8);
    permissionLines_->setContentsMargins(16, 0, 0, 0);
    layout->addWidget(permissionBlock_);

    readyLine_ = symbolLine("checkmark.circle.fill", Tone::green, text(Settings::ready), Tone::green, QFont::Medium, 16,
                            paste);
    layout->addWidget(readyLine_);
    binding(settings::kPrimaryHotkeyIsSingleKey);
    return paste;
}

QWidget* HotkeysSettingsView::cancelSection(QWidget* parent) {
    QWidget* cancel = PageLayout::section(Settings::cancelTitle, Settings::cancelCaption, 12, parent);
    cancelKeyPicker_ = picker(settings::kCancelHotkey, Settings::cancelTitle, Settings::cancelKeys(), cancel);
    static_cast<QVBoxLayout*>(cancel->layout())->addWidget(cancelKeyPicker_, 0, Qt::AlignLeft);
    return cancel;
}

QWidget* HotkeysSettingsView::feedbackRow(QWidget* parent) {
    feedbackSwitch_ = new ToggleSwitch;
    binding(settings::kHotkeyFeedback)->bindToggle(feedbackSwitch_);
    return new SettingRow(text(Settings::feedbackTitle), text(Settings::feedbackDescription), feedbackSwitch_, parent);
}

QWidget* HotkeysSettingsView::banner(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    auto* banner = new RoundedPanel(ThemeColors::withAlpha(colors.orange, 0.1), 8, 16, parent);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    static_cast<QVBoxLayout*>(banner->layout())->addLayout(row);
    auto* icon = new QLabel(banner);
    icon->setPixmap(SymbolIcon::pixmap("exclamationmark.triangle.fill", 24, colors.orange, devicePixelRatioF()));
    icon->setAccessibleName(QStringLiteral("Warnung"));
    row->addWidget(icon, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto* title = new QLabel(text(Settings::conflictTitle), banner);
    title->setFont(TextStyle::headline());
    texts->addWidget(title);
    texts->addWidget(SecondaryText::label(text(Settings::conflictText), TextStyle::caption(), banner));
    row->addLayout(texts, 1);
    conflictBanner_ = banner;
    return banner;
}

QWidget* HotkeysSettingsView::tipsSection(QWidget* parent) {
    QWidget* tips = PageLayout::section(Settings::tipsTitle, nullptr, 12, parent);
    auto* rows = new QWidget(tips);
    auto* rowsLayout = PageLayout::column(rows, 8);
    const ThemeColors& colors = ThemeColors::shared();
    for (const auto& tip : Settings::tips())
        rowsLayout->addWidget(
            new SymbolRow(tip.icon, colors.accentColor, text(tip.text), TextStyle::caption(), colors.secondary, rows));
    tips->layout()->addWidget(rows);
    return tips;
}

QWidget* HotkeysSettingsView::resetSection(QWidget* parent) {
    QWidget* reset = PageLayout::section(Settings::resetTitle, Settings::resetCaption, 12, parent);
    resetButton_ = new StyledButton(text(Settings::resetButton), std::make_shared<SecondaryButtonStyle>(), reset);
    connect(resetButton_, &QPushButton::clicked, this, [this] { resetToDefaults(); });
    static_cast<QVBoxLayout*>(reset->layout())->addWidget(resetButton_, 0, Qt::AlignLeft);
    return reset;
}

void HotkeysSettingsView::refresh() {
    const std::string hotkey = binding(settings::kPrimaryHotkey)->stringValue().toStdString();
    const std::string mode = binding(settings::kRecordingMode)->stringValue().toStdString();
    const bool storedSingleKey = binding(settings::kPrimaryHotkeyIsSingleKey)->boolValue();

    hotkeyDisplay_->setHotkey(QString::fromStdString(hotkeyLabel(hotkey)));
    std::optional<HotkeyRegistration> registration;
    std::string trigger, problem;
    if (hotkeyManager_) {
        registration = hotkeyManager_->registration();
        trigger = hotkeyManager_->desktopTrigger();
        problem = hotkeyManager_->desktopProblem();
    }
    statusCard_->setStatus(
        Settings::currentStatus(hotkey, mode, registration, accessibilityGranted_, inputMonitoringGranted_, trigger));
    // The command line to bind where no portal binds the keys; what is wrong with those it bound.
    std::vector<std::string> lines;
    if (registration == HotkeyRegistration::desktopShortcut)
        lines = Settings::desktopShortcutLines(Settings::desktopFromEnvironment(), hotkey, mode);
    if (!problem.empty()) lines.insert(lines.begin(), problem);
    QString joined;
    for (const std::string& line : lines) joined += (joined.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromStdString(line);
    desktopShortcutHelp_->setText(joined);
    desktopShortcutHelp_->setVisible(!joined.isEmpty());
    // A preset is chosen when its keys are (two display texts are the same keys).
    const auto chosen = hotkeyPresetValues(hotkey);
    for (HotkeyPresetRow* row : presetRows_)
        row->setSelected(row->preset() == hotkey || (chosen && hotkeyPresetValues(row->preset()) == chosen));

    recordingModeIcon_->setPixmap(SymbolIcon::pixmap(Settings::recordingModeIcon(mode), kLineIconSize,
                                                     ThemeColors::shared().accentColor, devicePixelRatioF()));
    recordingModeHelp_->setText(QString::fromStdString(Settings::recordingModeHelpText(mode, hotkey)));

    const auto paste = Settings::pasteStatus(binding(settings::kPasteInPlaceMode)->boolValue(), accessibilityGranted_,
                                             inputMonitoringGranted_, storedSingleKey);
    clipboardOnlyLine_->setVisible(paste == Settings::PasteStatus::clipboardOnly);
    readyLine_->setVisible(paste == Settings::PasteStatus::ready);
    permissionBlock_->setVisible(paste == Settings::PasteStatus::permissionsMissing);
    if (paste == Settings::PasteStatus::permissionsMissing) showPermissionHelp(storedSingleKey, hotkey);

    conflictBanner_->setVisible(showConflictWarning_);
}

void HotkeysSettingsView::showPermissionHelp(bool storedSingleKey, const std::string& hotkey) {
    while (QLayoutItem* item = permissionLines_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const auto help =
        Settings::permissionHelp(accessibilityGranted_, inputMonitoringGranted_, storedSingleKey, hotkey);
    for (const std::string& warning : help.warnings)
        permissionLines_->addWidget(symbolLine("exclamationmark.triangle.fill", Tone::orange,
                                               QString::fromStdString(warning), Tone::orange, QFont::Medium, 0,
                                               permissionBlock_));
    for (const std::string& note : help.notes)
        permissionLines_->addWidget(
            SecondaryText::label(QString::fromStdString(note), TextStyle::caption(), permissionBlock_));
}

void HotkeysSettingsView::recordingChanged(bool recording) {
    hotkeyDisplay_->setRecording(recording);
    recordingHint_->setVisible(recording);
    if (!recording && hotkeyManager_) hotkeyManager_->resumeRegistration();
}

void HotkeysSettingsView::toggleRecording() {
    if (hotkeyRecorder_->isRecording()) {
        hotkeyRecorder_->stopRecording();
        return;
    }
    // The hotkey pressed to be recorded must not start a dictation.
    if (hotkeyManager_) hotkeyManager_->suspendRegistration();
    hotkeyRecorder_->startRecording(
        [this](const std::string& display, std::uint16_t keyCode, std::uint32_t modifiers, bool isSingleKey) {
            applyRecordedHotkey(display, keyCode, modifiers, isSingleKey);
        });
}

void HotkeysSettingsView::applyRecordedHotkey(const std::string& display, std::uint16_t keyCode,
                                              std::uint32_t modifiers, bool isSingleKey) {
    applyHotkey(display, {keyCode, modifiers, isSingleKey});
}

void HotkeysSettingsView::applyPreset(const std::string& preset) {
    const auto values = hotkeyPresetValues(preset);
    if (!values) return;
    applyHotkey(preset, *values);
}

// The display text and the three keys always change together: the manager stores the keys it
// registers; without one the page stores them.
void HotkeysSettingsView::applyHotkey(const std::string& display, const HotkeyTriple& hotkey) {
    binding(settings::kPrimaryHotkey)->setValue(platform::UserDefaults::Value(display));
    if (hotkeyManager_) {
        hotkeyManager_->updateHotkey(hotkey.keyCode, hotkey.modifiers, hotkey.isSingleKey);
        return;
    }
    defaults_.setInteger(settings::kPrimaryHotkeyKeyCode, hotkey.keyCode);
    defaults_.setInteger(settings::kPrimaryHotkeyModifiers, hotkey.modifiers);
    defaults_.setBool(settings::kPrimaryHotkeyIsSingleKey, hotkey.isSingleKey);
}

void HotkeysSettingsView::refreshPermissions() {
    accessibilityGranted_ = PasteHelper::checkAccessibilityPermission();
    const auto& permissions = PasteHelper::desktop().permissions;
    inputMonitoringGranted_ = permissions && permissions->canMonitorInput();
    refresh();
}

void HotkeysSettingsView::resetToDefaults() {
    Settings::resetToDefaults(defaults_);
    showConflictWarning_ = false;
    applyPreset(Settings::defaultHotkey);
    refresh();
}

void HotkeysSettingsView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    refreshPermissions();
    permissionTimer_.start();
}

void HotkeysSettingsView::hideEvent(QHideEvent* event) {
    permissionTimer_.stop();
    hotkeyRecorder_->stopRecording();
    QScrollArea::hideEvent(event);
}

}  // namespace parloquin

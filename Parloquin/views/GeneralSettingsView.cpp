#include "Parloquin/views/GeneralSettingsView.h"

#include <QPointer>
#include <QVBoxLayout>

#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/views/DestructiveButtonStyle.h"
#include "Parloquin/views/PageDivider.h"
#include "Parloquin/views/PageHeaderView.h"
#include "Parloquin/views/PageLayout.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SegmentedPicker.h"
#include "Parloquin/views/SettingBinding.h"
#include "Parloquin/views/SettingRow.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SymbolRow.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Parloquin/views/ToggleSwitch.h"
#include "Platform/system/NSError.h"

namespace parloquin {
namespace {

using Entry = GeneralSettings::Entry;
using Value = platform::UserDefaults::Value;

constexpr int kSpacing = 32;

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

// A section below the switch rows: its title and explanation over its control, 12 apart.
QWidget* section(const Entry& entry, QWidget* parent) {
    QWidget* section = PageLayout::section(entry.title, nullptr, 12, parent);
    section->layout()->addWidget(SecondaryText::label(text(entry.description), TextStyle::caption(), section));
    return section;
}

}  // namespace

GeneralSettingsView::GeneralSettingsView(const PageContext& context, QWidget* parent)
    : QScrollArea(parent),
      context_(context),
      defaults_(context.defaults ? *context.defaults : platform::UserDefaults::standard()) {
    QVBoxLayout* page = PageLayout::scrollingPage(this, QStringLiteral("GeneralSettingsContent"), kSpacing);
    QWidget* content = page->parentWidget();
    page->addWidget(new PageHeaderView(text(GeneralSettings::title), text(GeneralSettings::subtitle), content));

    auto* settings = new QWidget(content);
    auto* list = PageLayout::column(settings, 0);
    bool first = true;
    for (const Entry& entry : GeneralSettings::entries()) {
        if (!first) {
            list->addSpacing(kSpacing / 2);
            list->addWidget(PageDivider::make(settings));
            list->addSpacing(kSpacing / 2);
        }
        first = false;
        switch (entry.kind) {
            case GeneralSettings::EntryKind::switchRow: list->addWidget(switchRow(entry, settings)); break;
            case GeneralSettings::EntryKind::overlaySection: list->addWidget(overlaySection(entry, settings)); break;
            case GeneralSettings::EntryKind::resetSection: list->addWidget(resetSection(entry, settings)); break;
        }
    }
    page->addWidget(settings);
    page->addStretch(1);

    // The login switch shows whether the desktop will start Parloquin at login. A stored value that
    // says otherwise (the entry was removed or switched off elsewhere, or written by hand) follows it.
    SettingBinding* login = binding(settings::kLaunchAtLogin);
    using LoginStatus = platform::SMAppService::Status;
    loginItemApplied_ = context_.loginItem ? context_.loginItem->status() == LoginStatus::enabled : login->boolValue();
    if (login->boolValue() != loginItemApplied_) login->setValue(Value(loginItemApplied_));
    connect(binding(settings::kShowDockIcon), &SettingBinding::changed, this,
            [this] { updateDockIcon(binding(settings::kShowDockIcon)->boolValue()); });
    connect(binding(settings::kLaunchAtLogin), &SettingBinding::changed, this,
            [this] { updateLaunchAtLogin(binding(settings::kLaunchAtLogin)->boolValue()); });
}

SettingBinding* GeneralSettingsView::binding(const std::string& key) {
    auto& bound = bindings_[key];
    if (!bound) bound = new SettingBinding(defaults_, key, GeneralSettings::defaultValue(key), this);
    return bound;
}

QWidget* GeneralSettingsView::control(const std::string& key) const {
    const auto it = controls_.find(key);
    return it == controls_.end() ? nullptr : it->second;
}

QWidget* GeneralSettingsView::switchRow(const Entry& entry, QWidget* parent) {
    auto* toggle = new ToggleSwitch;
    binding(entry.key)->bindToggle(toggle);
    controls_[entry.key] = toggle;
    auto* row = new SettingRow(text(entry.title), text(entry.description), toggle, parent);
    if (entry.below == GeneralSettings::Below::nothing) return row;

    auto* block = new QWidget(parent);
    auto* layout = PageLayout::column(block, 12);
    row->setParent(block);
    layout->addWidget(row);
    if (entry.below == GeneralSettings::Below::privacyBanner) {
        privacyBanner_ = banner(block);
        layout->addWidget(privacyBanner_);
        SettingBinding* privacy = binding(entry.key);
        privacyBanner_->setVisible(privacy->boolValue());
        connect(privacy, &SettingBinding::changed, privacyBanner_,
                [banner = privacyBanner_, privacy] { banner->setVisible(privacy->boolValue()); });
    } else {
        QWidget* modes = picker({entry.kind, entry.title, entry.description, settings::kPostProcessingMode},
                                GeneralSettings::postProcessingModes(), GeneralSettings::postProcessingPickerWidth,
                                block);
        layout->addWidget(modes);
        // Greyed out, but still showing the chosen mode, while formatting is off.
        SettingBinding* enabled = binding(entry.key);
        modes->setEnabled(enabled->boolValue());
        connect(enabled, &SettingBinding::changed, modes, [modes, enabled] { modes->setEnabled(enabled->boolValue()); });
    }
    return block;
}

QWidget* GeneralSettingsView::banner(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    auto* banner = new SymbolRow("exclamationmark.triangle.fill", colors.orange, text(GeneralSettings::privacyBanner),
                                 TextStyle::caption(), colors.secondary, parent, {14, 14, 8, true});
    banner->symbolView()->setAccessibleName(QStringLiteral("Warnung"));
    banner->layout()->setContentsMargins(16, 0, 0, 0);
    return banner;
}

QWidget* GeneralSettingsView::picker(const Entry& entry, const std::vector<GeneralSettings::Option>& options,
                                     int maximumWidth, QWidget* parent) {
    auto* picker = new SegmentedPicker(SegmentedPicker::segments(options), parent);
    picker->setMaximumWidth(maximumWidth);
    picker->setAccessibleName(text(entry.title));
    binding(entry.key)->bindPicker(picker);
    controls_[entry.key] = picker;
    return picker;
}

QWidget* GeneralSettingsView::overlaySection(const Entry& entry, QWidget* parent) {
    QWidget* overlay = section(entry, parent);
    overlay->layout()->addWidget(
        picker(entry, GeneralSettings::overlayStyles(), GeneralSettings::overlayPickerWidth, overlay));
    return overlay;
}

QWidget* GeneralSettingsView::resetSection(const Entry& entry, QWidget* parent) {
    QWidget* reset = section(entry, parent);
    resetButton_ = new StyledButton(text(GeneralSettings::resetButton), std::make_shared<DestructiveButtonStyle>(),
                                    reset);
    connect(resetButton_, &QPushButton::clicked, this, [this] { resetToDefaults(); });
    static_cast<QVBoxLayout*>(reset->layout())->addWidget(resetButton_, 0, Qt::AlignLeft);
    return reset;
}

void GeneralSettingsView::updateDockIcon(bool show) {
    if (context_.application)
        context_.application->setActivationPolicy(show ? ActivationPolicy::regular : ActivationPolicy::accessory);
}

// A start at login that cannot be set up must not look as if it were: the switch and the stored
// value go back to what the desktop has, and the user is told why.
void GeneralSettingsView::updateLaunchAtLogin(bool enabled) {
    if (enabled == loginItemApplied_ || !context_.loginItem) return;
    try {
        if (enabled)
            context_.loginItem->registerLoginItem();
        else
            context_.loginItem->unregisterLoginItem();
        loginItemApplied_ = enabled;
    } catch (const platform::NSError& error) {
        binding(settings::kLaunchAtLogin)->setValue(Value(loginItemApplied_));
        if (context_.alerts)
            context_.alerts->runModal(GeneralSettings::loginItemFailure(enabled, error.localizedDescription()));
    }
}

void GeneralSettingsView::resetToDefaults() {
    if (!context_.alerts) return;
    QPointer<GeneralSettingsView> alive(this);
    const int response = context_.alerts->runModal(GeneralSettings::resetConfirmation());
    if (!alive || response != alertFirstButtonReturn) return;
    GeneralSettings::resetToDefaults(defaults_);
}

}  // namespace parloquin

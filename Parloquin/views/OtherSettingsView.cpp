#include "Parloquin/views/OtherSettingsView.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "Parloquin/services/ModelFolder.h"
#include "Parloquin/services/ModelStorageSize.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/views/CacheCleaner.h"
#include "Parloquin/views/DiagnosticsReport.h"
#include "Parloquin/views/ExportFileWriter.h"
#include "Parloquin/views/FileChooser.h"
#include "Parloquin/views/LinkRowButton.h"
#include "Parloquin/views/ModelProgressTexts.h"
#include "Parloquin/views/OpenSourceLicensesView.h"
#include "Parloquin/views/OtherSettings.h"
#include "Parloquin/views/PageDivider.h"
#include "Parloquin/views/PageHeaderView.h"
#include "Parloquin/views/PageLayout.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/SecondaryButtonStyle.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SymbolRow.h"
#include "Parloquin/views/SystemInfoView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Platform/desktop/NSWorkspace.h"
#include "Platform/system/FileManager.h"
#include "Platform/system/HostFacts.h"
#include "Platform/system/NSError.h"

namespace parloquin {
namespace {

constexpr int kSpacing = 32;

QString text(const char* utf8) { return QString::fromUtf8(utf8); }
QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// A section: its title, then its content 16 apart.
QWidget* section(const char* title, QWidget* parent) { return PageLayout::section(title, nullptr, 16, parent); }

QVBoxLayout* layoutOf(QWidget* widget) { return static_cast<QVBoxLayout*>(widget->layout()); }

QLabel* wrapped(const QString& content, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

StyledButton* secondaryButton(const char* title, QWidget* parent) {
    return new StyledButton(text(title), std::make_shared<SecondaryButtonStyle>(), parent);
}

QWidget* stack(QWidget* parent, int spacing) {
    auto* widget = new QWidget(parent);
    PageLayout::column(widget, spacing);
    return widget;
}

}  // namespace

OtherSettingsView::OtherSettingsView(const PageContext& context, QWidget* parent)
    : QScrollArea(parent),
      context_(context),
      workspace_(context.workspace ? context.workspace : platform::NSWorkspace::shared()) {
    QVBoxLayout* page = PageLayout::scrollingPage(this, QStringLiteral("OtherSettingsContent"), kSpacing);
    QWidget* content = page->parentWidget();
    page->addWidget(new PageHeaderView(text(OtherSettings::title), text(OtherSettings::subtitle), content));
    QWidget* sections[] = {privacySection(content), aboutSection(content),   languagesSection(content),
                           legalSection(content),   supportSection(content), advancedSection(content)};
    bool first = true;
    for (QWidget* part : sections) {
        if (!first) page->addWidget(PageDivider::make(content));
        first = false;
        page->addWidget(part);
    }
    page->addStretch(1);
}

QWidget* OtherSettingsView::privacySection(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    QWidget* privacy = section("DATENSCHUTZ", parent);
    layoutOf(privacy)->addWidget(
        wrapped(text("Parloquin wurde mit Datenschutz als Kernprinzip entwickelt:"), TextStyle::body(), privacy));
    QWidget* features = stack(privacy, 8);
    for (const OtherSettings::PrivacyFeature& feature : OtherSettings::privacyFeatures())
        layoutOf(features)->addWidget(
            new SymbolRow(feature.icon, colors.green, text(feature.text), TextStyle::body(), colors.primary, features));
    layoutOf(privacy)->addWidget(features);
    StyledButton* policy = secondaryButton("Datenschutzrichtlinie lesen", privacy);
    connect(policy, &QPushButton::clicked, this, [this] { openURL(OtherSettings::privacyPolicyAddress); });
    layoutOf(privacy)->addWidget(policy, 0, Qt::AlignLeft);
    return privacy;
}

QWidget* OtherSettingsView::aboutSection(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    QWidget* about = section("ÜBER", parent);
    auto* card = new RoundedPanel(ThemeColors::withAlpha(colors.primary, 0.05), 8, 16, about);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(12);
    int line = 0;
    for (const OtherSettings::AboutRow& row :
         OtherSettings::aboutRows(AppVersion::bundle(), platform::HostFacts().describe(),
                                  ModelStorageSize::measure(ModelFolder::path()))) {
        auto* label = new QLabel(text(row.label), card);
        QPalette secondary = label->palette();
        secondary.setColor(QPalette::WindowText, colors.secondary);
        label->setPalette(secondary);
        auto* value = new QLabel(text(row.value), card);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setAccessibleName(text(row.label));
        value->setWordWrap(true);
        grid->addWidget(label, line, 0, Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(value, line, 1);
        ++line;
    }
    grid->setColumnStretch(1, 1);
    layoutOf(card)->addLayout(grid);
    layoutOf(about)->addWidget(card);
    StyledButton* info = secondaryButton("Systeminformationen anzeigen", about);
    connect(info, &QPushButton::clicked, this, [this] { showSystemInfo(); });
    layoutOf(about)->addWidget(info, 0, Qt::AlignLeft);
    return about;
}

QWidget* OtherSettingsView::languagesSection(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    QWidget* languages = section("UNTERSTÜTZTE SPRACHEN", parent);
    layoutOf(languages)->addWidget(SecondaryText::label(
        text("Parloquin unterstützt 25 europäische Sprachen mit hoher Genauigkeit:"), TextStyle::caption(), languages));
    auto* chips = new QWidget(languages);
    auto* grid = new QGridLayout(chips);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(8);
    QColor chipFill = colors.accentColor;
    chipFill.setAlphaF(0.08f);
    const QString chipStyle = QStringLiteral("QLabel { background: %1; border-radius: 6px; padding: 4px 8px; }")
                                  .arg(chipFill.name(QColor::HexArgb));
    int index = 0;
    for (const char* language : OtherSettings::languages()) {
        auto* chip = new QLabel(text(language), chips);
        chip->setObjectName(QStringLiteral("LanguageChip"));
        chip->setFont(TextStyle::caption());
        chip->setAlignment(Qt::AlignCenter);
        chip->setMinimumWidth(10);
        chip->setStyleSheet(chipStyle);
        grid->addWidget(chip, index / 3, index % 3);
        ++index;
    }
    for (int column = 0; column < 3; ++column) grid->setColumnStretch(column, 1);
    layoutOf(languages)->addWidget(chips);
    return languages;
}

QWidget* OtherSettingsView::legalSection(QWidget* parent) {
    QWidget* legal = section("RECHTLICHES", parent);
    QWidget* rows = stack(legal, 12);
    for (const OtherSettings::LegalLinkRow& link : OtherSettings::legalLinks()) {
        const char* address = link.address;
        addLinkRow(rows, link.icon, link.title, nullptr, [this, address] {
            if (address)
                openURL(address);
            else
                showOpenSourceLicenses();
        });
    }
    layoutOf(legal)->addWidget(rows);
    return legal;
}

QWidget* OtherSettingsView::supportSection(QWidget* parent) {
    QWidget* support = section("HILFE & SUPPORT", parent);
    QWidget* rows = stack(support, 12);
    for (const OtherSettings::SupportLinkRow& link : OtherSettings::supportLinks())
        addLinkRow(rows, link.icon, link.title, link.description, [this, address = std::string(link.address)] {
            openURL(address);
        });
    layoutOf(support)->addWidget(rows);
    return support;
}

void OtherSettingsView::addLinkRow(QWidget* rows, const char* icon, const char* title, const char* description,
                                   std::function<void()> action) {
    auto* row = new LinkRowButton(icon, text(title), description ? text(description) : QString(), rows);
    connect(row, &QAbstractButton::clicked, this, std::move(action));
    layoutOf(rows)->addWidget(row);
}

QWidget* OtherSettingsView::advancedSection(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    QWidget* advanced = section("ERWEITERT", parent);
    QWidget* tools = stack(advanced, 12);

    auto* card = new RoundedPanel(ThemeColors::withAlpha(colors.secondary, 0.05), 8, 12, tools);
    layoutOf(card)->setSpacing(8);
    layoutOf(card)->addWidget(SecondaryText::label(text("KI-Modell-Cache"), TextStyle::caption(), card));
    layoutOf(card)->addWidget(
        wrapped(text("Parloquin-Sprachmodelle werden lokal für die Offline-Nutzung gespeichert"), TextStyle::caption(),
                card));
    // A first start fetches and converts the models: the card says how far that has come.
    modelProgressBar_ = new QProgressBar(card);
    modelProgressBar_->setRange(0, 100);
    modelProgressBar_->setTextVisible(false);
    modelProgressBar_->setMaximumHeight(8);
    modelProgressBar_->setAccessibleName(text("Fortschritt der Sprachmodelle"));
    layoutOf(card)->addWidget(modelProgressBar_);
    modelProgressLabel_ = SecondaryText::label(QString(), TextStyle::caption(), card);
    layoutOf(card)->addWidget(modelProgressLabel_);
    // After a failed start the setup is tried again from here, as from the tray menu.
    modelFailureLabel_ = wrapped(text("Die Sprachmodelle konnten nicht eingerichtet werden."), TextStyle::caption(), card);
    layoutOf(card)->addWidget(modelFailureLabel_);
    retryButton_ = secondaryButton("Erneut versuchen", card);
    layoutOf(card)->addWidget(retryButton_, 0, Qt::AlignLeft);
    if (context_.transcriptionService) {
        TranscriptionService* service = context_.transcriptionService;
        connect(service, &TranscriptionService::modelProgressChanged, this, [this] { updateModelProgress(); });
        connect(service, &TranscriptionService::initializationFailedChanged, this, [this] { updateModelProgress(); });
        connect(retryButton_, &QPushButton::clicked, service, [service] { service->retryInitialization(); });
    }
    updateModelProgress();
    modelFolderLabel_ = SecondaryText::label(
        text(OtherSettings::modelFolderText(ModelFolder::path(),
                                            platform::FileManager::homeDirectoryForCurrentUser())),
        TextStyle::caption(), card);
    modelFolderLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    modelFolderLabel_->setAccessibleName(text("Modellordner"));
    layoutOf(card)->addWidget(modelFolderLabel_);
    StyledButton* reveal = secondaryButton("Im Dateimanager anzeigen", card);
    connect(reveal, &QPushButton::clicked, this, [this] { showModelFolder(); });
    layoutOf(card)->addWidget(reveal, 0, Qt::AlignLeft);
    layoutOf(tools)->addWidget(card);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    StyledButton* clear = secondaryButton("Cache leeren", tools);
    connect(clear, &QPushButton::clicked, this, [this] { confirmClearCache(); });
    buttons->addWidget(clear);
    StyledButton* diagnostics = secondaryButton("Diagnoseprotokolle exportieren", tools);
    connect(diagnostics, &QPushButton::clicked, this, [this] { exportDiagnostics(); });
    buttons->addWidget(diagnostics);
    buttons->addStretch(1);
    layoutOf(tools)->addLayout(buttons);
    toolStatus_ = wrapped(QString(), TextStyle::caption(), tools);
    toolStatus_->setObjectName(QStringLiteral("ToolStatus"));
    toolStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    toolStatus_->hide();
    layoutOf(tools)->addWidget(toolStatus_);

    layoutOf(advanced)->addWidget(tools);
    return advanced;
}

void OtherSettingsView::updateModelProgress() {
    const auto* service = context_.transcriptionService;
    const auto& progress = service ? service->modelProgress() : std::nullopt;
    const bool failed = service && service->initializationFailed();
    modelFailureLabel_->setVisible(failed);
    retryButton_->setVisible(failed);
    modelProgressBar_->setVisible(progress.has_value());
    modelProgressLabel_->setVisible(progress.has_value());
    if (!progress) return;
    modelProgressBar_->setValue(ModelProgressTexts::percent(*progress));
    modelProgressLabel_->setText(text(ModelProgressTexts::pageLine(*progress)));
}

OpenSourceLicensesView* OtherSettingsView::openSourceLicensesSheet() const { return licensesSheet_; }
SystemInfoView* OtherSettingsView::systemInfoSheet() const { return systemInfoSheet_; }

QAbstractButton* OtherSettingsView::button(const QString& title) const {
    for (QAbstractButton* candidate : widget()->findChildren<QAbstractButton*>())
        if (candidate->text() == title) return candidate;
    return nullptr;
}

void OtherSettingsView::openURL(const std::string& address) { workspace_->openURL(address); }

void OtherSettingsView::showOpenSourceLicenses() {
    if (licensesSheet_) return;
    licensesSheet_ = new OpenSourceLicensesView(License::defaultNotices(), workspace_, window());
    licensesSheet_->open();
}

void OtherSettingsView::showSystemInfo() {
    if (systemInfoSheet_) return;
    systemInfoSheet_ = new SystemInfoView(platform::HostFacts().describe(), window());
    systemInfoSheet_->open();
}

void OtherSettingsView::showModelFolder() {
    const std::filesystem::path folder = ModelFolder::path();
    // Before the first download there is no folder yet; an empty one shows where the models will lie.
    try {
        platform::FileManager::createDirectory(folder);
    } catch (const platform::NSError&) {
    }
    showToolStatus(OtherSettings::modelFolderOpeningText);
    QPointer<OtherSettingsView> alive(this);
    workspace_->selectFile(std::nullopt, folder, [alive, folder](bool shown) {
        if (alive && !shown) alive->showToolStatus(OtherSettings::noFileManagerText(folder));
    });
}

void OtherSettingsView::showToolStatus(const std::string& status) {
    toolStatus_->setText(text(status));
    toolStatus_->setVisible(!status.empty());
}

void OtherSettingsView::confirmClearCache() {
    if (!context_.alerts) return;
    QPointer<OtherSettingsView> alive(this);
    const int response = context_.alerts->runModal(OtherSettings::clearCacheConfirmation());
    if (!alive || response != alertFirstButtonReturn) return;
    std::optional<std::filesystem::path> failure;
    const auto removed = CacheCleaner::standard().clearCache(&failure);
    showToolStatus(OtherSettings::cacheClearedText(removed.size(), failure));
}

void OtherSettingsView::exportDiagnostics() {
    const std::shared_ptr<FileChooser> files = context_.files ? context_.files : FileChooser::system();
    QPointer<OtherSettingsView> alive(this);
    const std::optional<std::filesystem::path> destination =
        files->chooseSaveLocation({DiagnosticsReport::proposedFileName, FileType::diagnosticsLog()});
    if (!alive || !destination) return;
    const std::string report = DiagnosticsReport::text(AppVersion::bundle(), platform::HostFacts().describe(),
                                                       platform::Date::now(), DiagnosticsReport::recentLogLines());
    try {
        ExportFileWriter::write(*destination, report);
        showToolStatus(OtherSettings::diagnosticsSavedText(*destination));
    } catch (const platform::NSError& error) {
        showToolStatus({});
        if (context_.alerts) context_.alerts->runModal(OtherSettings::diagnosticsExportFailure(error.localizedDescription()));
    }
}

}  // namespace parloquin

#include "Parloquin/views/AudioSettingsView.h"

#include <QHideEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/services/AudioDeviceManager.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/views/AudioDeviceRow.h"
#include "Parloquin/views/AudioLevelMeter.h"
#include "Parloquin/views/PageDivider.h"
#include "Parloquin/views/PageHeaderView.h"
#include "Parloquin/views/PageLayout.h"
#include "Parloquin/views/PrimaryButtonStyle.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/SecondaryButtonStyle.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SymbolRow.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Platform/audio/AudioHardware.h"
#include "Platform/desktop/NSWorkspace.h"

namespace parloquin {
namespace {

constexpr int kSpacing = 24;

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

QWidget* sectionHeader(const char* title, const char* explanation, QWidget* parent) {
    return PageLayout::sectionHeader(title, explanation, parent);
}

QLabel* coloured(const QString& content, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

std::shared_ptr<platform::AudioHardware> hardwareOf(const PageContext& context) {
    if (context.audioHardware) return context.audioHardware;
    if (context.transcriptionService) return context.transcriptionService->audioDeviceManager().hardware();
    return platform::AudioHardware::system();
}

}  // namespace

AudioSettingsView::AudioSettingsView(const PageContext& context, QWidget* parent)
    : QScrollArea(parent),
      context_(context),
      workspace_(context.workspace ? context.workspace : platform::NSWorkspace::shared()),
      audioDeviceManager_(std::make_unique<AudioDeviceManager>(
          hardwareOf(context), context.defaults ? *context.defaults : platform::UserDefaults::standard())) {
    QVBoxLayout* page = PageLayout::scrollingPage(this, QStringLiteral("AudioSettingsContent"), kSpacing);
    QWidget* content = page->parentWidget();
    page->addWidget(new PageHeaderView(text("AUDIO"), text("Mikrofon-Eingang konfigurieren und Audiopegel testen"),
                                       content));
    page->addWidget(deviceSection(content));
    page->addWidget(PageDivider::make(content));
    page->addWidget(levelTestSection(content));
    page->addWidget(PageDivider::make(content));
    page->addWidget(tipsSection(content));
    page->addWidget(permissionCard(content));
    page->addStretch(1);

    AudioDeviceManager* manager = audioDeviceManager_.get();
    connect(manager, &AudioDeviceManager::availableDevicesChanged, this, [this] { showDevices(); });
    connect(manager, &AudioDeviceManager::selectedDeviceChanged, this, [this] { showDevices(); });
    connect(manager, &AudioDeviceManager::currentAudioLevelChanged, this,
            [this] { meter_->setLevel(audioDeviceManager_->currentAudioLevel()); });
    showDevices();
    showMonitoring();
}

AudioSettingsView::~AudioSettingsView() { stopMonitoring(); }

QWidget* AudioSettingsView::deviceSection(QWidget* parent) {
    auto* section = new QWidget(parent);
    auto* layout = PageLayout::column(section, 12);
    layout->addWidget(sectionHeader("EINGABEGERÄT", "Wähle welches Mikrofon Parloquin für Aufnahmen verwenden soll",
                                    section));
    auto* rows = new QWidget(section);
    rowsLayout_ = PageLayout::column(rows, 6);
    layout->addWidget(rows);

    const ThemeColors& colors = ThemeColors::shared();
    auto* empty = new SymbolRow("exclamationmark.triangle.fill", colors.orange,
                                text("Keine Eingabegeräte gefunden. Bitte verbinde ein Mikrofon."), TextStyle::body(),
                                colors.secondary, section, {14, 14, 8, true});
    empty->symbolView()->setAccessibleName(QStringLiteral("Warnung"));
    emptyList_ = empty;
    emptyWarning_ = empty->textLabel();
    layout->addWidget(emptyList_);

    refreshButton_ = new StyledButton(text("Geräte aktualisieren"), std::make_shared<SecondaryButtonStyle>(), section);
    refreshButton_->setSymbol(QStringLiteral("arrow.clockwise"));
    connect(refreshButton_, &QPushButton::clicked, this, [this] { refreshDevices(); });
    layout->addWidget(refreshButton_, 0, Qt::AlignLeft);
    return section;
}

QWidget* AudioSettingsView::levelTestSection(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    auto* section = new QWidget(parent);
    auto* layout = PageLayout::column(section, 12);
    layout->addWidget(sectionHeader("MIKROFON-TEST", "Teste dein Mikrofon um sicherzustellen dass es funktioniert",
                                    section));
    auto* status = new QHBoxLayout;
    status->addWidget(coloured(text("Audiopegel:"), TextStyle::caption(), colors.secondary, section));
    status->addStretch(1);
    monitoringStatus_ = coloured(QString(), TextStyle::caption(), colors.secondary, section);
    status->addWidget(monitoringStatus_);
    layout->addLayout(status);
    meter_ = new AudioLevelMeter(section);
    layout->addWidget(meter_);

    startButton_ = new StyledButton(text("Test starten"), std::make_shared<PrimaryButtonStyle>(), section);
    startButton_->setSymbol(QStringLiteral("play.fill"));
    connect(startButton_, &QPushButton::clicked, this, [this] { startTest(); });
    layout->addWidget(startButton_, 0, Qt::AlignLeft);
    stopButton_ = new StyledButton(text("Test stoppen"), std::make_shared<SecondaryButtonStyle>(), section);
    stopButton_->setSymbol(QStringLiteral("stop.fill"));
    connect(stopButton_, &QPushButton::clicked, this, [this] { stopTest(); });
    layout->addWidget(stopButton_, 0, Qt::AlignLeft);
    speakHint_ = SecondaryText::label(text("Sprich in dein Mikrofon um Audiopegel zu sehen"), TextStyle::caption(),
                                      section);
    layout->addWidget(speakHint_);
    return section;
}

QWidget* AudioSettingsView::tipsSection(QWidget* parent) {
    struct Tip {
        const char* symbol;
        const char* text;
    };
    static const Tip tips[] = {
        {"mic.fill", "Parloquin braucht unter Linux keine Mikrofon-Berechtigung zum Aufnehmen"},
        {"speaker.wave.2.fill", "Teste dein Mikrofon vor der Aufnahme um sicherzustellen dass es funktioniert"},
        {"waveform", "Grüne Pegel zeigen gute Audioqualität an. Sprich deutlich für beste Ergebnisse."},
        {"arrow.triangle.2.circlepath",
         "Falls dein Mikrofon nicht aufgelistet ist, verbinde es neu und aktualisiere die Geräte"},
    };
    const ThemeColors& colors = ThemeColors::shared();
    auto* section = new QWidget(parent);
    auto* layout = PageLayout::column(section, 10);
    layout->addWidget(sectionHeader("TIPPS", nullptr, section));
    for (const Tip& tip : tips)
        layout->addWidget(new SymbolRow(tip.symbol, colors.accentColor, text(tip.text), TextStyle::caption(),
                                        colors.secondary, section));
    return section;
}

// Linux lets every program of the user record; the card leads to the desktop's sound settings
// where it has some, and otherwise says that no permission is asked for.
QWidget* AudioSettingsView::permissionCard(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    auto* card = new RoundedPanel(ThemeColors::withAlpha(colors.secondary, 0.05), 8, 16, parent);
    auto* layout = static_cast<QVBoxLayout*>(card->layout());
    layout->setSpacing(8);
    layout->addWidget(sectionHeader("MIKROFON-BERECHTIGUNG", "Parloquin nimmt ohne eigene Berechtigung über den Tonserver auf", card));
    if (workspace_->hasSoundSettings()) {
        soundSettingsButton_ =
            new StyledButton(text("Toneinstellungen öffnen"), std::make_shared<SecondaryButtonStyle>(), card);
        connect(soundSettingsButton_, &QPushButton::clicked, this, [this] { openMicrophonePrivacySettings(); });
        layout->addWidget(soundSettingsButton_, 0, Qt::AlignLeft);
    } else {
        permissionText_ = SecondaryText::label(
            text("Linux gewährt Parloquin den Mikrofonzugriff ohne Nachfrage."), TextStyle::caption(), card);
        layout->addWidget(permissionText_);
    }
    return card;
}

void AudioSettingsView::showDevices() {
    for (AudioDeviceRow* row : rows_) {
        rowsLayout_->removeWidget(row);
        row->hide();
        // A row may be the one whose click brought us here.
        row->deleteLater();
    }
    rows_.clear();
    const std::vector<AudioDevice>& devices = audioDeviceManager_->availableDevices();
    const std::optional<AudioDevice>& selected = audioDeviceManager_->selectedDevice();
    for (const AudioDevice& device : devices) {
        const bool isSelected = selected && selected->id == device.id;
        auto* row = new AudioDeviceRow(device, isSelected, [this, device] { selectDevice(device); },
                                       rowsLayout_->parentWidget());
        rowsLayout_->addWidget(row);
        rows_.push_back(row);
    }
    emptyList_->setVisible(devices.empty());
}

void AudioSettingsView::showMonitoring() {
    const ThemeColors& colors = ThemeColors::shared();
    monitoringStatus_->setText(isMonitoring_ ? text("Überwachung...") : text("Keine Überwachung"));
    QPalette palette = monitoringStatus_->palette();
    palette.setColor(QPalette::WindowText, isMonitoring_ ? colors.green : colors.secondary);
    monitoringStatus_->setPalette(palette);
    startButton_->setVisible(!isMonitoring_);
    stopButton_->setVisible(isMonitoring_);
    speakHint_->setVisible(isMonitoring_);
    meter_->setLevel(audioDeviceManager_->currentAudioLevel());
}

void AudioSettingsView::selectDevice(const AudioDevice& device) {
    audioDeviceManager_->selectDevice(device);
    // The meter follows the new device.
    if (isMonitoring_) {
        audioDeviceManager_->stopLevelMonitoring();
        audioDeviceManager_->startLevelMonitoring();
    }
}

void AudioSettingsView::refreshDevices() { audioDeviceManager_->refreshDevices(); }

void AudioSettingsView::startTest() {
    audioDeviceManager_->startLevelMonitoring();
    isMonitoring_ = true;
    showMonitoring();
}

void AudioSettingsView::stopTest() {
    audioDeviceManager_->stopLevelMonitoring();
    isMonitoring_ = false;
    showMonitoring();
}

void AudioSettingsView::stopMonitoring() {
    if (!isMonitoring_) return;
    audioDeviceManager_->stopLevelMonitoring();
    isMonitoring_ = false;
    showMonitoring();
}

void AudioSettingsView::openMicrophonePrivacySettings() { workspace_->openSoundSettings(); }

void AudioSettingsView::hideEvent(QHideEvent* event) {
    // The page goes (another section, the window closed); a minimised window keeps the test.
    if (!event->spontaneous()) stopMonitoring();
    QScrollArea::hideEvent(event);
}

}  // namespace parloquin

#include "Parloquin/services/DictationDelivery.h"

#include <QMetaObject>
#include <QTimer>

#include "Parloquin/services/PasteGuidance.h"
#include "Parloquin/services/PasteHelper.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/settings/SettingsTable.h"

namespace parloquin {
namespace {

// Return follows the paste after this long when auto-send is on.
constexpr int kReturnDelayMilliseconds = 100;

}  // namespace

DictationDelivery::DictationDelivery(platform::UserDefaults& defaults, std::shared_ptr<AlertPresenter> alerts,
                                     Notice notice)
    : defaults_(defaults), alerts_(std::move(alerts)), notice_(std::move(notice)) {}

bool DictationDelivery::hasShownGuidance() const { return SettingsTable::flag(defaults_, settings::kHasShownAccessibilityGuidance); }
void DictationDelivery::setHasShownGuidance(bool shown) {
    defaults_.setBool(settings::kHasShownAccessibilityGuidance, shown);
}
bool DictationDelivery::pasteInPlaceMode() const { return SettingsTable::flag(defaults_, settings::kPasteInPlaceMode); }
bool DictationDelivery::autoSendText() const { return SettingsTable::flag(defaults_, settings::kAutoSendText); }

void DictationDelivery::deliver(const std::string& text) {
    if (text.empty()) return;
    if (pasteInPlaceMode()) {
        if (PasteHelper::checkAccessibilityPermission()) {
            pendingPaste_.start(text, [this, autoSend = autoSendText()](PendingPaste::Outcome outcome) {
                pasteFinished(outcome, autoSend);
            });
            return;
        }
        if (!hasShownGuidance()) {
            setHasShownGuidance(true);
            PasteHelper::requestAccessibilityPermission();
            QMetaObject::invokeMethod(this, [this] { showAccessibilityAlert(); }, Qt::QueuedConnection);
        }
    }
    if (!PasteHelper::copyToClipboard(text)) {
        notice_("Text nicht kopiert", "Die Zwischenablage hat den Text nicht angenommen." + whereTheTextIs());
    }
}

void DictationDelivery::pasteFinished(PendingPaste::Outcome outcome, bool autoSend) {
    switch (outcome) {
        case PendingPaste::Outcome::pasted:
            if (autoSend) {
                QTimer::singleShot(kReturnDelayMilliseconds, this,
                                   [] { PasteHelper::pressKey(PasteHelper::kVirtualKeyReturn, 0); });
            }
            break;
        case PendingPaste::Outcome::copiedOnly:
            notice_(kCopiedOnlyNotice, "Parloquin kann in das aktive Fenster nicht selbst einfügen.");
            break;
        case PendingPaste::Outcome::keysHeld:
            notice_("Text in der Zwischenablage",
                    "Es waren noch Tasten gedrückt, darum hat Parloquin nicht eingefügt. Drücke Strg+V, um den "
                    "Text einzufügen.");
            break;
        case PendingPaste::Outcome::clipboardFailed:
            notice_("Text nicht eingefügt",
                    "Die Zwischenablage hat den Text nicht angenommen, darum hat Parloquin nichts eingefügt." +
                        whereTheTextIs());
            break;
        case PendingPaste::Outcome::superseded:
            notice_("Text nicht eingefügt",
                    "Ein neuerer Text war fertig, bevor die Tasten losgelassen wurden." + whereTheTextIs());
            break;
    }
}

std::string DictationDelivery::whereTheTextIs() const {
    return SettingsTable::flag(defaults_, settings::kPrivacyModeEnabled) ? std::string() : std::string(" Du findest ihn im Verlauf.");
}

void DictationDelivery::showAccessibilityAlert() {
    if (!alerts_) return;
    alerts_->runModal(PasteGuidance::alert(PasteGuidance::current()));
}

}  // namespace parloquin

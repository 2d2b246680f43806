#include "Parloquin/app/LaunchNotices.h"

#include "Parloquin/app/AppEnvironment.h"
#include "Parloquin/app/SettingsFileNotices.h"
#include "Parloquin/app/StatusMenuTexts.h"
#include "Parloquin/services/ModelFolder.h"
#include "Parloquin/services/ModelStorageSize.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/views/ModelProgressTexts.h"
#include "Platform/net/URLError.h"
#include "Platform/system/UUID.h"
#include "RarivOredu/shared/ModelFolderError.h"
#include "RarivOredu/shared/ModelStorageError.h"

namespace parloquin {
namespace {

const char* const kWelcomeText =
    "Parloquin bietet zwei Aufnahmemodi:\n"
    "\n"
    "🎯 Umschaltmodus (Standard: Strg+Alt+Leertaste)\n"
    "• Einmal drücken zum Starten, nochmal zum Stoppen\n"
    "• Funktioniert sofort ohne Berechtigungen\n"
    "• Ideal für längere Aufnahmen\n"
    "\n"
    "🎙️ Halten-zum-Aufnehmen (Alt-Taste)\n"
    "• Halte die Alt-Taste beim Sprechen\n"
    "• In einer X11-Sitzung mit XInput 2; unter Wayland hältst du stattdessen eine Tastenkombination (KDE "
    "Plasma, sway)\n"
    "• Ideal für kurze Sprachbefehle\n"
    "\n"
    "Weitere Funktionen:\n"
    "• Direktes Einfügen unter X11 und unter Wayland auf KDE Plasma, GNOME und sway\n"
    "• Wo das nicht geht, liegt der Text in der Zwischenablage\n"
    "\n"
    "Unter Linux musst du dafür keine Berechtigungen vergeben; nur GNOME fragt einmal, ob Parloquin tippen darf.";

// What the user reads when the speech models did not load: the real cause (which file, what
// went wrong), and the hint about the connection only where a download is what failed.
std::string launchFailureBody(const std::exception_ptr& error) {
    std::string cause = "Unbekannter Fehler";
    bool download = false;
    try {
        if (error) std::rethrow_exception(error);
    } catch (const rarivoredu::ModelStorageError& e) {
        cause = ModelProgressTexts::insufficientSpace(e);
    } catch (const rarivoredu::ModelFolderError& e) {
        cause = e.what();
        download = true;
    } catch (const platform::NSError& e) {
        cause = e.what();
        download = e.domain() == platform::URLError::domain;
    } catch (const std::exception& e) {
        cause = e.what();
    } catch (...) {
    }
    std::string body = "Die Sprachmodelle konnten nicht geladen werden: " + cause;
    if (download) body += "\nBitte prüfe die Verbindung und wähle „Erneut versuchen“ im Menü von Parloquin.";
    return body;
}

}  // namespace

LaunchNotices::LaunchNotices(const AppEnvironment& environment)
    : notifications_(environment.notifications), alerts_(environment.alerts) {}

void LaunchNotices::post(const std::string& title, const std::string& body) const {
    if (!notifications_) return;
    platform::UNNotificationRequest request;
    request.identifier = platform::UUID().uuidString();
    request.content = {title, body, true};
    notifications_->add(request);
}

void LaunchNotices::requestAuthorization() const {
    if (notifications_)
        notifications_->requestAuthorization(
            platform::UNAuthorizationOptionAlert | platform::UNAuthorizationOptionSound, [](bool) {});
}

bool LaunchNotices::showWelcome() const {
    // Held for the modal loop: whatever ends meanwhile, the presenter stays until it returns.
    const std::shared_ptr<AlertPresenter> alerts = alerts_;
    if (!alerts) return false;
    Alert alert;
    alert.style = AlertStyle::informational;
    alert.messageText = "Willkommen bei Parloquin!";
    alert.informativeText = kWelcomeText;
    alert.buttons = {"Loslegen", "Einstellungen öffnen"};
    return alerts->runModal(alert) == alertFirstButtonReturn + 1;
}

void LaunchNotices::postReady(const std::string& hotkey, HotkeyRegistration registration) const {
    post("Parloquin bereit!",
         StatusMenuTexts::readyNotificationBody(hotkey, registration, ModelStorageSize::measure(ModelFolder::path())));
}

void LaunchNotices::reportLaunchFailure(const std::exception_ptr& error) const {
    post("Parloquin konnte nicht gestartet werden", launchFailureBody(error));
}

std::string LaunchNotices::notReadyText(const TranscriptionService* service) {
    const auto* progress = service ? &service->modelProgress() : nullptr;
    if (progress && *progress) return ModelProgressTexts::statusLine(**progress) + " …";
    return "Sprachmodelle werden geladen …";
}

void LaunchNotices::answerNotReady(bool launchFailed, const TranscriptionService* service) const {
    if (launchFailed) {
        post("Parloquin konnte nicht gestartet werden",
             "Ohne Sprachmodelle ist keine Aufnahme möglich. Wähle „Erneut versuchen“ im Menü von Parloquin.");
        return;
    }
    post("Parloquin ist noch nicht bereit",
         notReadyText(service) + "\nAufnahmen sind möglich, sobald die Sprachmodelle bereit sind.");
}

void LaunchNotices::reportMissingTray() const {
    post("Kein Infobereich gefunden",
         "Die Arbeitsoberfläche zeigt keine Symbole im Infobereich, darum fehlt das Parloquin-Symbol "
         "mit seinem Menü. Das Hauptfenster ist geöffnet; das Menü erreichst du auch mit einem "
         "Rechtsklick auf die schwebende Aufnahmetaste.");
}

// The user learns why the settings are back to their defaults, and where the old file is.
void LaunchNotices::reportUnreadableSettings(const platform::UserDefaults::LoadProblem& problem) const {
    std::string body = "Die gespeicherten Einstellungen konnten nicht gelesen werden. Parloquin startet mit den "
                       "Standardeinstellungen";
    if (problem.setAsidePath.empty()) {
        body += " und speichert in dieser Sitzung keine Änderungen.";
    } else {
        body += "; die alte Datei liegt unter " + problem.setAsidePath.string() + ".";
    }
    post("Einstellungen zurückgesetzt", body);
}

void LaunchNotices::reportSettingsFileProblem(const platform::UserDefaults::LoadProblem& problem) const {
    std::string body = "Die geänderte Einstellungsdatei konnte nicht gelesen werden. Parloquin behält die bisherigen "
                       "Einstellungen";
    if (problem.setAsidePath.empty()) {
        body += " und speichert in dieser Sitzung keine Änderungen.";
    } else {
        body += "; die Datei liegt unter " + problem.setAsidePath.string() + ".";
    }
    post("Einstellungen nicht übernommen", body);
}

void LaunchNotices::reportSaveProblem(const platform::UserDefaults::SaveProblem& problem) const {
    post(SettingsFileNotices::saveFailedTitle, SettingsFileNotices::saveFailedBody(problem));
}

}  // namespace parloquin

#include "Parloquin/app/SettingsFileNotices.h"

#include <cerrno>

namespace parloquin {

std::string SettingsFileNotices::cause(long errorCode) {
    switch (errorCode) {
        case ENOSPC: return "Der Datenträger ist voll";
        case EDQUOT: return "Dein Speicherkontingent ist erschöpft";
        case EROFS: return "Der Ordner ist schreibgeschützt";
        case EACCES:
        case EPERM: return "Parloquin darf dort nicht schreiben";
        case EIO: return "Der Datenträger meldet einen Schreibfehler";
        default: return "Das Schreiben ist fehlgeschlagen";
    }
}

std::string SettingsFileNotices::saveFailedBody(const platform::UserDefaults::SaveProblem& problem) {
    return "Parloquin kann nicht in " + problem.folder.string() + " speichern. " + cause(problem.errorCode) +
           ". Einstellungen, Verlauf und Statistiken bleiben erhalten und werden beim nächsten Speichern und "
           "beim Beenden erneut geschrieben; schaffe Platz oder gib den Ordner frei.";
}

}  // namespace parloquin

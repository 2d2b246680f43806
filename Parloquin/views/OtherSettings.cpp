#include "Parloquin/views/OtherSettings.h"

#include "Parloquin/services/ModelStorageSize.h"

namespace parloquin {

const std::vector<OtherSettings::PrivacyFeature>& OtherSettings::privacyFeatures() {
    static const std::vector<PrivacyFeature> features = {
        {"lock.shield.fill", "Alle Transkriptionen erfolgen lokal auf Ihrem Gerät"},
        {"icloud.slash.fill", "Keine Audio- oder Textdaten werden in die Cloud gesendet"},
        {"antenna.radiowaves.left.and.right.slash", "Nach der Einrichtung keine Internetverbindung erforderlich"},
        {"hand.raised.fill", "Ihre Daten verlassen niemals Ihren Computer"},
    };
    return features;
}

std::vector<OtherSettings::AboutRow> OtherSettings::aboutRows(const AppVersion& version,
                                                              const platform::HostDescription& host,
                                                              std::uint64_t modelBytes) {
    return {
        {"Version", version.text()},
        {"Linux", host.operatingSystemVersion},
        {"Chip", host.processorName},
        {"Modell", "Parloquin Sprachmodell v3"},
        {"Modellgröße", ModelStorageSize::text(modelBytes)},
        {"Sprachen", "25 EU-Sprachen"},
    };
}

const std::vector<const char*>& OtherSettings::languages() {
    static const std::vector<const char*> languages = {
        "Englisch (EN)",   "Deutsch (DE)",    "Französisch (FR)", "Spanisch (ES)",      "Italienisch (IT)",
        "Portugiesisch (PT)", "Niederländisch (NL)", "Polnisch (PL)", "Tschechisch (CS)", "Rumänisch (RO)",
        "Schwedisch (SV)", "Dänisch (DA)",    "Norwegisch (NO)",  "Finnisch (FI)",      "Ungarisch (HU)",
        "Slowakisch (SK)", "Kroatisch (HR)",  "Bulgarisch (BG)",  "Litauisch (LT)",     "Slowenisch (SL)",
        "Estnisch (ET)",   "Lettisch (LV)",   "Irisch (GA)",      "Maltesisch (MT)",    "Luxemburgisch (LB)",
    };
    return languages;
}

const std::vector<OtherSettings::LegalLinkRow>& OtherSettings::legalLinks() {
    static const std::vector<LegalLinkRow> links = {
        {"doc.text.fill", "Allgemeine Geschäftsbedingungen", termsAddress},
        {"building.columns.fill", "Open-Source-Lizenzen", nullptr},
        {"c.circle.fill", "Drittanbieter-Hinweise", nullptr},
    };
    return links;
}

const std::vector<OtherSettings::SupportLinkRow>& OtherSettings::supportLinks() {
    static const std::string faq = std::string(supportAddress) + "#faq";
    static const std::string contact = std::string(supportAddress) + "#kontakt";
    static const std::vector<SupportLinkRow> links = {
        {"book.fill", "Dokumentation", "Erfahren Sie, wie Sie Parloquin verwenden", faq.c_str()},
        {"ladybug.fill", "Fehler melden", "Helfen Sie uns durch Fehlermeldungen", contact.c_str()},
        {"lightbulb.fill", "Funktion vorschlagen", "Schlagen Sie neue Funktionen vor", contact.c_str()},
        {"envelope.fill", "Support kontaktieren", "Erhalten Sie Hilfe von unserem Team", supportMailAddress},
    };
    return links;
}

std::string OtherSettings::modelFolderText(const std::filesystem::path& folder, const std::filesystem::path& home) {
    const std::filesystem::path normalHome = home.lexically_normal();
    const std::filesystem::path normalFolder = folder.lexically_normal();
    std::string text = normalFolder.string();
    if (!normalHome.empty() && normalHome != "/") {
        const std::filesystem::path relative = normalFolder.lexically_relative(normalHome);
        if (!relative.empty() && *relative.begin() != "..") text = "~/" + relative.string();
        if (relative == ".") text = "~";
    }
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

Alert OtherSettings::clearCacheConfirmation() {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Cache leeren";
    alert.informativeText =
        "Dies löscht temporäre Dateien und zwischengespeicherte Daten. Modelle werden nicht gelöscht. Die App muss "
        "möglicherweise einige Ressourcen erneut herunterladen.";
    alert.buttons = {"Cache leeren", "Abbrechen"};
    alert.destructive = true;
    return alert;
}

Alert OtherSettings::diagnosticsExportFailure(const std::string& reason) {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Diagnoseprotokolle konnten nicht exportiert werden";
    alert.informativeText = reason;
    alert.buttons = {"OK"};
    return alert;
}

std::string OtherSettings::cacheClearedText(std::size_t removed, const std::optional<std::filesystem::path>& failure) {
    if (failure)
        return "Der Cache wurde nur zum Teil geleert: „" + failure->string() +
               "“ ließ sich nicht entfernen. Prüfe die Rechte des Ordners und versuche es erneut.";
    if (removed == 0) return "Der Cache war bereits leer.";
    return "Cache geleert: " + std::to_string(removed) + (removed == 1 ? " Eintrag" : " Einträge") + " entfernt.";
}

std::string OtherSettings::diagnosticsSavedText(const std::filesystem::path& file) {
    return "Diagnosebericht gespeichert: " + file.string();
}

std::string OtherSettings::noFileManagerText(const std::filesystem::path& folder) {
    return "Kein Dateimanager konnte den Ordner öffnen. Die Modelle liegen unter " + folder.string() + ".";
}

}  // namespace parloquin

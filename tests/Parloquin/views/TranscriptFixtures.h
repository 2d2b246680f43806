#pragma once

// Transcripts and totals that the transcript pages' tests, pictures and benchmarks show: twenty
// records of a few languages and lengths, newest first, and totals as a few weeks of use leave them.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Parloquin/services/SessionStatistics.h"
#include "Parloquin/services/TranscriptionRecord.h"
#include "Platform/system/Date.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin_test {

inline std::vector<parloquin::TranscriptionRecord> twentyRecords(platform::Date now) {
    const char* texts[] = {
        "Bitte schick mir bis Freitag die überarbeitete Fassung des Angebots, dann kann ich es am Montag mit dem "
        "Team durchgehen.",
        "Remind me to call the dentist tomorrow morning.",
        "Neuer Absatz. Die Besprechung beginnt um zehn Uhr im großen Raum.",
        "Einkaufsliste: Milch, Brot, Äpfel und Kaffee.",
        "The quarterly numbers look better than expected, especially in the northern region.",
        "Kurze Notiz: Paket ist angekommen.",
        "Ich habe die Fehler im Bericht korrigiert und die Tabellen auf den neuesten Stand gebracht.",
        "Le rendez-vous est confirmé pour jeudi à quinze heures.",
        "Danke für die schnelle Antwort!",
        "Please forward the invoice to the accounting department.",
        "Morgen früh zuerst die Präsentation üben, danach die E-Mails beantworten.",
        "Das Wetter soll am Wochenende schön werden, vielleicht fahren wir an den See.",
        "Meeting notes: agreed on the new release date, two open questions remain.",
        "Vergiss nicht, die Pflanzen zu gießen.",
        "Die neue Version läuft stabil, nur der Export braucht noch etwas Arbeit.",
        "Can you send me the link to the recording?",
        "Termin beim Friseur verschieben.",
        "El informe final estará listo la próxima semana.",
        "Ich melde mich später noch einmal wegen der Details.",
        "Zusammenfassung: drei Punkte erledigt, zwei offen, einer verschoben.",
    };
    const char* languages[] = {"de", "en", "de", "de", "en", "de", "de", "fr", "de", "en",
                               "de", "de", "en", "de", "de", "en", "de", "es", "de", ""};
    std::vector<parloquin::TranscriptionRecord> records;
    for (int i = 0; i < 20; ++i) {
        parloquin::TranscriptionRecord record;
        record.text = texts[i];
        record.timestamp = platform::Date(now.timeIntervalSinceReferenceDate() - 60.0 * (7 + i * i * 45));
        record.wordCount = 1;
        for (char c : record.text) record.wordCount += c == ' ';
        record.charCount = static_cast<std::int64_t>(record.text.size());
        record.duration = 1.5 + 0.4 * static_cast<double>(record.wordCount);
        if (*languages[i]) record.language = languages[i];
        if (i % 4 != 3) {
            record.rtf = 0.02 + 0.005 * i;
            record.inferenceTime = *record.rtf * record.duration;
        }
        records.push_back(record);
    }
    return records;
}

inline parloquin::SessionStatistics fewWeeksOfUse(platform::Date now) {
    parloquin::SessionStatistics statistics;
    statistics.totalRecordings = 146;
    statistics.totalDuration = 2135.4;
    statistics.totalCharacters = 58210;
    statistics.totalWords = 8412;
    statistics.totalInferenceTime = 61.9;
    statistics.fastestInference = 0.08;
    statistics.slowestInference = 2.61;
    statistics.totalRTF = 4.05;
    statistics.rtfCount = 140;
    statistics.languageCount = {{"de", 97}, {"en", 41}, {"fr", 5}, {"es", 3}};
    statistics.firstUse = platform::Date(now.timeIntervalSinceReferenceDate() - 86400.0 * 23);
    statistics.lastUse = now;
    statistics.currentStreak = 5;
    statistics.longestStreak = 9;
    return statistics;
}

// Stores the totals where the statistics store reads them when it is made.
inline void storeStatistics(platform::UserDefaults& defaults, const parloquin::SessionStatistics& statistics) {
    const std::string text =
        statistics.encode(parloquin::json_coding::DateEncoding::secondsSinceReferenceDate).dump();
    defaults.setData("SessionStatistics", platform::Data(text.begin(), text.end()));
}

}  // namespace parloquin_test

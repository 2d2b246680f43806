#include "RarivOredu/cli/Messages.h"

#include <cstdlib>

namespace rarivoredu::cli {
namespace {

constexpr std::string_view englishHelp = R"(Usage: rarivoredu COMMAND [OPTION]... [ARGUMENT]...
On-device speech recognition, voice activity detection, speaker diarization and speech synthesis.
Results go to standard output, progress and messages to standard error.

Commands:
  transcribe FILE... [--format txt|srt|json] [--model v2|v3]
                   recognise speech with token timings (default txt, v3)
  vad FILE [--format txt|json]
                   list the regions of speech, start and end in seconds
  diarize FILE [--speakers N] [--format rttm|json]
                   tell who spoke when (default rttm); at most N speakers
  speak TEXT|- -o FILE.wav [--voice ID] [--speed S]
                   speak the text (- reads standard input) into a WAV file
  models [list]    show which models are installed and where
  models fetch [NAME]...
                   download models (parakeet-v3, parakeet-v2, vad, diarization, tts;
                   default all but parakeet-v2)
  models import FILE...
                   convert checkpoints you have: a .nemo file (speech recognition), a Silero
                   .onnx file (voice activity), or the segmentation and the embedding
                   checkpoint of the diarizer, in that order

Options:
  -h, --help       show this help and exit
  --version        show the version and exit

The models are the desktop application's: $XDG_DATA_HOME/RarivOredu/Models and, for speech
synthesis, $XDG_CACHE_HOME/rarivoredu. Messages are in German when the locale is German.

Exit status:
  0  success
  1  the work failed (a model, a download, writing the output)
  2  unknown command or option, missing or bad argument
  3  an input file is missing or holds no audio
  4  the models the command needs are not installed (see "rarivoredu models fetch")
)";

constexpr std::string_view germanHelp = R"(Aufruf: rarivoredu BEFEHL [OPTION]... [ARGUMENT]...
Spracherkennung, Sprachaktivitätserkennung, Sprecherzuordnung und Sprachsynthese auf dem Gerät.
Ergebnisse gehen auf die Standardausgabe, Fortschritt und Meldungen auf die Standardfehlerausgabe.

Befehle:
  transcribe DATEI... [--format txt|srt|json] [--model v2|v3]
                   Sprache mit Zeitangaben je Token erkennen (Vorgabe txt, v3)
  vad DATEI [--format txt|json]
                   Sprachabschnitte auflisten, Anfang und Ende in Sekunden
  diarize DATEI [--speakers N] [--format rttm|json]
                   zeigen, wer wann sprach (Vorgabe rttm); höchstens N Sprecher
  speak TEXT|- -o DATEI.wav [--voice ID] [--speed S]
                   den Text (- liest die Standardeingabe) in eine WAV-Datei sprechen
  models [list]    zeigen, welche Modelle wo installiert sind
  models fetch [NAME]...
                   Modelle herunterladen (parakeet-v3, parakeet-v2, vad, diarization, tts;
                   Vorgabe alle außer parakeet-v2)
  models import DATEI...
                   vorhandene Checkpoints umwandeln: eine .nemo-Datei (Spracherkennung), eine
                   Silero-.onnx-Datei (Sprachaktivität) oder den Segmentierungs- und den
                   Embedding-Checkpoint der Sprecherzuordnung, in dieser Reihenfolge

Optionen:
  -h, --help       diese Hilfe zeigen und beenden
  --version        die Version zeigen und beenden

Die Modelle sind die der Desktop-Anwendung: $XDG_DATA_HOME/RarivOredu/Models und, für die
Sprachsynthese, $XDG_CACHE_HOME/rarivoredu. Meldungen sind deutsch, wenn das Gebietsschema deutsch ist.

Rückgabewert:
  0  Erfolg
  1  die Arbeit schlug fehl (ein Modell, ein Download, das Schreiben der Ausgabe)
  2  unbekannter Befehl oder unbekannte Option, fehlendes oder falsches Argument
  3  eine Eingabedatei fehlt oder enthält kein Audio
  4  die Modelle, die der Befehl braucht, sind nicht installiert (siehe „rarivoredu models fetch“)
)";

struct Text {
    std::string_view english;
    std::string_view german;
};

Text textOf(Messages::Id id) {
    using Id = Messages::Id;
    switch (id) {
        case Id::help: return {englishHelp, germanHelp};
        case Id::unknownCommand: return {"Unknown command: {}", "Unbekannter Befehl: {}"};
        case Id::unknownOption: return {"Unknown option: {}", "Unbekannte Option: {}"};
        case Id::missingValue: return {"The option {} needs a value", "Die Option {} braucht einen Wert"};
        case Id::badValue: return {"Bad value: {}", "Ungültiger Wert: {}"};
        case Id::missingArgument: return {"Missing argument: {}", "Fehlendes Argument: {}"};
        case Id::tooManyArguments: return {"Too many arguments: {}", "Zu viele Argumente: {}"};
        case Id::noModels: return {"The models are not installed: {}", "Die Modelle sind nicht installiert: {}"};
        case Id::fetchHint:
            return {"Fetch them with \"rarivoredu models fetch\" or import them with \"rarivoredu models import FILE\".",
                    "Mit „rarivoredu models fetch“ herunterladen oder mit „rarivoredu models import DATEI“ importieren."};
        case Id::installed: return {"installed", "installiert"};
        case Id::missing: return {"missing", "fehlt"};
        case Id::fetching: return {"Fetching {}", "Lade {}"};
        case Id::fetched: return {"{} is installed", "{} ist installiert"};
        case Id::imported: return {"Imported {}", "Importiert: {}"};
        case Id::importKinds:
            return {"Cannot tell what to import from {}: give a .nemo file, a .onnx file, or the two diarizer checkpoints",
                    "Unklar, was aus {} importiert werden soll: eine .nemo-Datei, eine .onnx-Datei oder die beiden "
                    "Checkpoints der Sprecherzuordnung angeben"};
        case Id::wrote: return {"Wrote {}", "Geschrieben: {}"};
        case Id::noSuchFile: return {"No such file: {}", "Datei nicht gefunden: {}"};
    }
    return {"{}", "{}"};
}

bool isGerman(const char* value) {
    return value != nullptr && value[0] == 'd' && value[1] == 'e' && (value[2] == '\0' || value[2] == '_' || value[2] == '.' || value[2] == '@');
}

}  // namespace

Messages Messages::fromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return Messages(isGerman(value));
    }
    return Messages(false);
}

std::string Messages::text(Id id, std::string_view argument) const {
    const Text found = textOf(id);
    std::string result(german_ ? found.german : found.english);
    if (const auto at = result.find("{}"); at != std::string::npos) result.replace(at, 2, argument);
    return result;
}

}  // namespace rarivoredu::cli

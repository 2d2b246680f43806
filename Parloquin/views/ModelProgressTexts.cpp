#include "Parloquin/views/ModelProgressTexts.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "Platform/system/HostFacts.h"

namespace parloquin {
namespace {

using rarivoredu::ModelLoadProgress;

const char* doing(const ModelLoadProgress& progress) {
    return progress.step == ModelLoadProgress::Step::download ? "Sprachmodell wird heruntergeladen"
                                                              : "Sprachmodell wird eingerichtet";
}

std::string percentText(const ModelLoadProgress& progress) {
    return std::to_string(ModelProgressTexts::percent(progress)) + " %";
}

// Sizes in decimal units as the hub gives them; the German words for the small ones.
std::string size(std::uint64_t bytes) {
    if (bytes < 1000) return std::to_string(bytes) + " Byte";
    return platform::formatByteCount(bytes, false);
}

// The converter's parts as a person reads them.
std::string partName(const std::string& part) {
    static const std::map<std::string, std::string> names{
        {"reading", "Checkpoint wird gelesen"},        {"preprocessor", "Vorverarbeitung wird umgewandelt"},
        {"encoder", "Encoder wird umgewandelt"},       {"decoder", "Decoder wird umgewandelt"},
        {"joint", "Joint-Netz wird umgewandelt"},      {"vocabulary", "Vokabular wird geschrieben"},
    };
    const auto found = names.find(part);
    return found != names.end() ? found->second : "Modelle werden umgewandelt";
}

}  // namespace

int ModelProgressTexts::percent(const ModelLoadProgress& progress) {
    const double fraction = std::clamp(progress.fraction, 0.0, 1.0);
    return static_cast<int>(std::floor(fraction * 100.0 + 1e-9));
}

std::string ModelProgressTexts::statusLine(const ModelLoadProgress& progress) {
    return std::string(doing(progress)) + ": " + percentText(progress);
}

std::string ModelProgressTexts::pageLine(const ModelLoadProgress& progress) {
    const std::string head = std::string(doing(progress)) + " (" + percentText(progress) + "): ";
    if (progress.step == ModelLoadProgress::Step::download) {
        return head + size(progress.bytesDone) + " von " + size(progress.bytesTotal);
    }
    return head + partName(progress.detail);
}

std::string ModelProgressTexts::insufficientSpace(const rarivoredu::ModelStorageError& error) {
    return "Zu wenig freier Speicherplatz. Zum Herunterladen und Einrichten werden " +
           size(error.neededBytes()) + " benötigt, unter " + error.folder().string() +
           " sind nur " + size(error.availableBytes()) +
           " frei. Bitte schaffe Platz und starte Parloquin erneut.";
}

}  // namespace parloquin

#include "Parloquin/services/TranscriptionError.h"

namespace parloquin {
namespace {

std::string describe(TranscriptionError::Kind kind, const std::string& message) {
    using Kind = TranscriptionError::Kind;
    switch (kind) {
        case Kind::conversionError: return "Konvertierungsfehler: " + message;
        case Kind::fileReadError: return "Datei-Lesefehler: " + message;
        case Kind::notInitialized: return "KI-Engine nicht initialisiert";
        case Kind::audioTooShort: return "Audio zu kurz (min. 1 Sekunde)";
        case Kind::formatError: return "Audioformat-Fehler";
        case Kind::bufferError: return "Audio-Buffer-Fehler";
        case Kind::converterError: return "Audio-Konverter-Fehler";
        case Kind::channelDataError: return "Kanaldaten-Fehler";
        case Kind::busy: return "Es läuft bereits eine Aufnahme oder Transkription";
    }
    return {};
}

}  // namespace

TranscriptionError::TranscriptionError(Kind kind, std::string message)
    : kind_(kind), message_(std::move(message)), description_(describe(kind_, message_)) {}

}  // namespace parloquin

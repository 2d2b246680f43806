#include "Parloquin/services/TranscriptionError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parloquin {
namespace {

TEST(TranscriptionErrorTest, DescribesEachCaseInGerman) {
    struct Case {
        TranscriptionError error;
        std::string description;
    };
    const std::vector<Case> cases = {
        {TranscriptionError::conversionError("Conversion failed"), "Konvertierungsfehler: Conversion failed"},
        {TranscriptionError::fileReadError(""), "Datei-Lesefehler: "},
        {TranscriptionError::notInitialized(), "KI-Engine nicht initialisiert"},
        {TranscriptionError::audioTooShort(), "Audio zu kurz (min. 1 Sekunde)"},
        {TranscriptionError::formatError(), "Audioformat-Fehler"},
        {TranscriptionError::bufferError(), "Audio-Buffer-Fehler"},
        {TranscriptionError::converterError(), "Audio-Konverter-Fehler"},
        {TranscriptionError::channelDataError(), "Kanaldaten-Fehler"},
        {TranscriptionError::busy(), "Es läuft bereits eine Aufnahme oder Transkription"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(c.error.what()), c.description);
        EXPECT_EQ(c.error.errorDescription(), c.description);
    }
}

}  // namespace
}  // namespace parloquin

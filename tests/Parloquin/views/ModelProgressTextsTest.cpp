// What the tray and the page "Sonstiges" say while the speech models are fetched and converted.
#include "Parloquin/views/ModelProgressTexts.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

using parloquin::ModelProgressTexts;
using rarivoredu::ModelLoadProgress;

ModelLoadProgress download(double fraction, std::uint64_t done, std::uint64_t total) {
    ModelLoadProgress p;
    p.step = ModelLoadProgress::Step::download;
    p.fraction = fraction;
    p.bytesDone = done;
    p.bytesTotal = total;
    return p;
}

ModelLoadProgress conversion(double fraction, std::string part) {
    ModelLoadProgress p;
    p.step = ModelLoadProgress::Step::import;
    p.fraction = fraction;
    p.detail = std::move(part);
    return p;
}

TEST(ModelProgressTextsTest, StatusAndPageLinesSayTheStepAndHowFarItIs) {
    // Sizes in the C locale, whatever the user's locale is.
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    struct Case {
        ModelLoadProgress progress;
        std::string statusLine;
        std::string pageLine;
    };
    const std::vector<Case> cases{
        {download(0, 0, 2'510'000'000), "Sprachmodell wird heruntergeladen: 0 %",
         "Sprachmodell wird heruntergeladen (0 %): 0 Byte von 2.51 GB"},
        {download(0.4213, 1'057'463'000, 2'510'000'000), "Sprachmodell wird heruntergeladen: 42 %",
         "Sprachmodell wird heruntergeladen (42 %): 1.06 GB von 2.51 GB"},
        // Not 100 before the last byte.
        {download(0.9999, 2'509'749'000, 2'510'000'000), "Sprachmodell wird heruntergeladen: 99 %",
         "Sprachmodell wird heruntergeladen (99 %): 2.51 GB von 2.51 GB"},
        {download(0.29, 290, 1000), "Sprachmodell wird heruntergeladen: 29 %",
         "Sprachmodell wird heruntergeladen (29 %): 290 Byte von 1 KB"},
        {conversion(0.63, "encoder"), "Sprachmodell wird eingerichtet: 63 %",
         "Sprachmodell wird eingerichtet (63 %): Encoder wird umgewandelt"},
        {conversion(1.0, "vocabulary"), "Sprachmodell wird eingerichtet: 100 %",
         "Sprachmodell wird eingerichtet (100 %): Vokabular wird geschrieben"},
        {conversion(0.1, "something new"), "Sprachmodell wird eingerichtet: 10 %",
         "Sprachmodell wird eingerichtet (10 %): Modelle werden umgewandelt"},
        {conversion(1.7, "joint"), "Sprachmodell wird eingerichtet: 100 %",
         "Sprachmodell wird eingerichtet (100 %): Joint-Netz wird umgewandelt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pageLine);
        EXPECT_EQ(ModelProgressTexts::statusLine(c.progress), c.statusLine);
        EXPECT_EQ(ModelProgressTexts::pageLine(c.progress), c.pageLine);
    }
    std::setlocale(LC_NUMERIC, previous ? previous : "C");
}

}  // namespace

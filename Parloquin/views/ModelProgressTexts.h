#pragma once

#include <string>

#include "RarivOredu/shared/ModelLoadProgress.h"
#include "RarivOredu/shared/ModelStorageError.h"

namespace parloquin {

// What the tray and the page "Sonstiges" say while the speech models are set up on a first start
// (fetched, then converted), and what a disk too small for them is told. Figures in the C locale.
struct ModelProgressTexts {
    // "Sprachmodell wird heruntergeladen: 42 %", "Sprachmodell wird eingerichtet: 63 %"
    static std::string statusLine(const rarivoredu::ModelLoadProgress& progress);
    // The page's line: "Sprachmodell wird heruntergeladen (42 %): 1.05 GB von 2.51 GB",
    // "Sprachmodell wird eingerichtet (63 %): Encoder wird umgewandelt"
    static std::string pageLine(const rarivoredu::ModelLoadProgress& progress);
    // Whole percent, never 100 before the step is done.
    static int percent(const rarivoredu::ModelLoadProgress& progress);
    // Why the models could not be set up, and what to do.
    static std::string insufficientSpace(const rarivoredu::ModelStorageError& error);
};

}  // namespace parloquin

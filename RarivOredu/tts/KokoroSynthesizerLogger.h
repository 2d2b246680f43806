#pragma once

#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu::KokoroSynthesizer {

// The synthesizer's logger: the library's default subsystem, category "KokoroSynthesizer".
const AppLogger& logger();

}  // namespace rarivoredu::KokoroSynthesizer

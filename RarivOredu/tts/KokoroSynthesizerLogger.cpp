#include "RarivOredu/tts/KokoroSynthesizerLogger.h"

namespace rarivoredu::KokoroSynthesizer {

const AppLogger& logger() {
    static const AppLogger* const instance = new AppLogger("KokoroSynthesizer");
    return *instance;
}

}  // namespace rarivoredu::KokoroSynthesizer

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/SerialQueue.h"
#include "RarivOredu/tts/EspeakG2PError.h"

namespace rarivoredu {

class EspeakLibrary;

// Turns a word into IPA phoneme tokens with eSpeak NG. The library keeps one data path and one
// selected voice for the whole process, so there is one instance, and every library call runs on
// its serial queue.
class EspeakG2P {
public:
    using EspeakG2PError = rarivoredu::EspeakG2PError;

    // The process-wide instance, made on first use and never destroyed.
    static EspeakG2P& shared();

    // The queue every eSpeak NG call runs on.
    SerialQueue& queue() noexcept { return queue_; }

    // The phoneme tokens of a word in an eSpeak voice ("en-us"): one token per Unicode scalar
    // (stress and length marks included), with a " " token between the words of a reading that
    // has several ("80's" reads "eighty" "z"). Nothing when the library answers no text; an empty
    // list when it answers only white space. Initialises the library and selects the voice as
    // needed; throws EspeakG2PError when that fails. Runs on the queue: called from elsewhere,
    // it waits for its turn there.
    std::optional<std::vector<std::string>> phonemize(const std::string& word, const std::string& voice);

    // The eSpeak NG data directory the library would load: below ESPEAK_DATA_PATH when that is
    // set (the folder itself or its "espeak-ng-data"), else where the library looks by itself
    // (~/espeak-ng-data, then its installed data). Throws frameworkBundleMissing without the
    // library, dataBundleMissing when the directory does not exist, voicesDirectoryMissing when
    // it has no "voices" folder. May be called from any thread.
    static std::filesystem::path dataDirectory();

    ~EspeakG2P();
    EspeakG2P(const EspeakG2P&) = delete;
    EspeakG2P& operator=(const EspeakG2P&) = delete;

private:
    EspeakG2P();

    static const AppLogger& typeLogger();
    std::filesystem::path lookUpDataDirectory(const EspeakLibrary& library);
    void initializeIfNeeded(const std::string& voice);
    std::optional<std::vector<std::string>> textToPhonemes(const std::string& word);

    AppLogger logger_;
    SerialQueue queue_;
    // Touched only on the queue.
    bool initialized_ = false;
    std::string currentVoice_;
    std::filesystem::path dataDirectoryInUse_;
};

}  // namespace rarivoredu

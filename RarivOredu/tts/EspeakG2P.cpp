#include "RarivOredu/tts/EspeakG2P.h"

#include <clocale>
#include <cstdlib>
#include <system_error>

#include "Platform/text/UnicodeScalar.h"
#include "RarivOredu/tts/EspeakLibrary.h"

namespace rarivoredu {
namespace {

constexpr int kTextModeAutomatic = 0;  // espeakCHARS_AUTO: UTF-8 or 8-bit, as the library finds
constexpr int kPhonemesIpa = 2;        // espeakPHONEMES_IPA, no separator between phonemes

const EspeakLibrary& requireLibrary(const AppLogger& logger) {
    const EspeakLibrary* library = EspeakLibrary::shared();
    if (library == nullptr) {
        logger.error("ESpeakNG.framework not found; ensure it is embedded with the application.");
        throw EspeakG2PError::frameworkBundleMissing();
    }
    return *library;
}

bool isDirectory(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

// The tokens of the library's answer: the scalars of each word, a " " token between words.
std::vector<std::string> phonemeTokens(const std::string& text) {
    std::vector<std::string> tokens;
    tokens.reserve(text.size() + 2);
    bool wordOpen = false;
    bool spaceDue = false;
    for (std::size_t position = 0; position < text.size();) {
        const std::size_t start = position;
        if (platform::isWhiteSpaceScalar(platform::nextScalar(text, position))) {
            spaceDue = wordOpen;
            continue;
        }
        if (spaceDue) tokens.emplace_back(" ");
        spaceDue = false;
        wordOpen = true;
        tokens.emplace_back(text, start, position - start);
    }
    return tokens;
}

}  // namespace

EspeakG2P& EspeakG2P::shared() {
    static EspeakG2P* const instance = new EspeakG2P();
    return *instance;
}

EspeakG2P::EspeakG2P() : logger_("com.rarivoredu.tts", "EspeakG2P"), queue_("com.rarivoredu.tts.espeak.g2p") {}

EspeakG2P::~EspeakG2P() {
    queue_.sync([this] {
        if (initialized_) EspeakLibrary::shared()->terminate();
        initialized_ = false;
    });
}

const AppLogger& EspeakG2P::typeLogger() {
    static const AppLogger* const logger = new AppLogger("com.rarivoredu.tts", "EspeakG2P");
    return *logger;
}

std::filesystem::path EspeakG2P::dataDirectory() {
    const AppLogger& logger = typeLogger();
    const EspeakLibrary& library = requireLibrary(logger);
    EspeakG2P& engine = shared();
    // Asking the library where its data lies changes its data path, so it happens on the queue.
    const std::filesystem::path data = engine.queue_.sync([&] { return engine.lookUpDataDirectory(library); });
    if (!isDirectory(data)) {
        logger.error("espeak-ng-data.bundle missing from ESpeakNG.framework resources at " + data.string());
        throw EspeakG2PError::dataBundleMissing();
    }
    const std::filesystem::path voices = data / "voices";
    std::error_code ec;
    if (!std::filesystem::exists(voices, ec)) {
        logger.error("espeak-ng-data.bundle found but voices directory missing at " + voices.string());
        throw EspeakG2PError::voicesDirectoryMissing();
    }
    logger.info("eSpeak NG data directory: " + data.string());
    return data;
}

std::filesystem::path EspeakG2P::lookUpDataDirectory(const EspeakLibrary& library) {
    // A data path set by the user is the one meant; the library would quietly fall back to
    // its installed data when it is wrong.
    const char* configured = std::getenv("ESPEAK_DATA_PATH");
    if (configured != nullptr && *configured != '\0') {
        const std::filesystem::path root(configured);
        if (isDirectory(root / "espeak-ng-data")) return root / "espeak-ng-data";
        return root;
    }
    library.initializePath(nullptr);
    const char* found = nullptr;
    library.info(&found);
    std::filesystem::path data = found != nullptr ? std::filesystem::path(found) : std::filesystem::path();
    if (initialized_) library.initializePath(dataDirectoryInUse_.c_str());
    return data;
}

std::optional<std::vector<std::string>> EspeakG2P::phonemize(const std::string& word, const std::string& voice) {
    return queue_.sync([&] {
        initializeIfNeeded(voice);
        return textToPhonemes(word);
    });
}

void EspeakG2P::initializeIfNeeded(const std::string& voice) {
    const EspeakLibrary& library = requireLibrary(logger_);
    if (initialized_) {
        if (voice == currentVoice_) return;
        const espeak_ERROR result = library.setVoiceByName(voice.c_str());
        if (result != EE_OK) {
            logger_.error("Failed to set voice to " + voice + ", error code: " + std::to_string(result));
            throw EspeakG2PError::voiceSelectionFailed(voice, result);
        }
        currentVoice_ = voice;
        return;
    }
    const std::filesystem::path data = dataDirectory();
    logger_.info("Using eSpeak NG data from framework: " + data.string());

    // Initialising switches the process's character-type locale to C.UTF-8; the host's own
    // setting is put back (the library classifies characters by its own tables).
    const char* ctype = std::setlocale(LC_CTYPE, nullptr);
    const std::string hostCtype = ctype != nullptr ? ctype : "C";
    library.initializePath(data.c_str());
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = library.initialize(&context);
    library.clearErrorContext(&context);
    std::setlocale(LC_CTYPE, hostCtype.c_str());
    if (status == ENS_OK) {
        status = library.initializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
        if (status != ENS_OK) library.terminate();
    }
    if (status != ENS_OK) {
        const auto code = static_cast<std::int32_t>(status);
        logger_.error("eSpeak NG initialization failed (rc=" + std::to_string(code) + ")");
        throw EspeakG2PError::initializationFailed(code);
    }
    const espeak_ERROR result = library.setVoiceByName(voice.c_str());
    if (result != EE_OK) {
        logger_.error("Failed to set initial voice to " + voice + ", error code: " + std::to_string(result));
        library.terminate();
        throw EspeakG2PError::voiceSelectionFailed(voice, result);
    }
    currentVoice_ = voice;
    dataDirectoryInUse_ = data;
    initialized_ = true;
}

std::optional<std::vector<std::string>> EspeakG2P::textToPhonemes(const std::string& word) {
    const void* text = word.c_str();
    const char* phonemes = EspeakLibrary::shared()->textToPhonemes(&text, kTextModeAutomatic, kPhonemesIpa);
    if (phonemes == nullptr) {
        logger_.warning("espeak_TextToPhonemes returned nil for word: " + word);
        return std::nullopt;
    }
    // The library reuses its buffer on the next call: copy at once.
    const std::string answer(phonemes);
    if (answer.empty()) return std::nullopt;
    return phonemeTokens(answer);
}

}  // namespace rarivoredu

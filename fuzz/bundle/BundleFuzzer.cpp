// A model bundle's description (coremldata.bin) and the two vocabularies beside the models:
// parakeet_vocab.json (token ids to pieces) and Kokoro's vocab_index.json (symbols to ids).
// Input: the three files, cut by the separator.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/ml/MLModelBundle.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/TTSError.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = fuzzsupport::split(data, size, 3);
    try {
        const auto bundle = platform::MLModelBundle::fromJSON(std::string(parts[0]));
        // What was read is written and read again alike.
        (void)platform::MLModelBundle::fromJSON(bundle.toJSON());
    } catch (const platform::NSError&) {
    }
    fuzzsupport::writeScratch("v3/parakeet_vocab.json", parts[1]);
    try {
        const auto vocabulary = AsrModels::loadVocabulary(fuzzsupport::scratchFolder() / "v3", AsrModelVersion::v3);
        (void)vocabulary.size();
    } catch (const AsrModelsError&) {
    }
    const auto kokoro = fuzzsupport::writeScratch("vocab_index.json", parts[2]);
    try {
        KokoroVocabulary vocabulary;
        vocabulary.loadVocabulary(kokoro);
        (void)vocabulary.vocabulary().size();
    } catch (const TTSError&) {
    }
    return 0;
}

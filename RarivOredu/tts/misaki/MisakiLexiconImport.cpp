#include "RarivOredu/tts/misaki/MisakiLexiconImport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

#include "Platform/system/AtomicFileWriter.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/hub/PinnedSource.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/StagedModelFolder.h"
#include "RarivOredu/tts/misaki/MisakiLexicon.h"

namespace rarivoredu {

namespace fs = std::filesystem;

namespace {

// Each pinned word list has about 3 MB: a body far beyond that is not it, and is not stored whole.
constexpr std::uint64_t maximumWordListBytes = 64ull << 20;

const AppLogger& logger() {
    static const AppLogger instance("MisakiLexiconImport");
    return instance;
}

std::string readWhole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw platform::CocoaError::make(platform::CocoaError::fileNoSuchFile, "Cannot read " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw platform::CocoaError::make(platform::CocoaError::fileReadUnknown, "Cannot read " + path.string());
    return bytes;
}

// What errors call a word list: "misaki's us_gold.json".
std::string titleOf(const char* name) { return std::string("misaki's ") + name; }

void requireDigest(const std::string& digest, const std::string& expected, const std::string& what,
                   const char* name) {
    PinnedSource::requireDigest(digest, expected, what, titleOf(name), logger());
}

void convertAndWrite(const std::string& gold, const std::string& silver, const fs::path& destination,
                     const PhonemeSet& allowed) {
    const MisakiLexicon lexicon = MisakiLexicon::fromWordLists(gold, silver, allowed);
    platform::AtomicFileWriter().replace(destination, lexicon.json());
    logger().info("Wrote " + std::to_string(lexicon.lower.size() + lexicon.caseSensitive.size()) +
                  " lexicon entries to " + destination.string() + " (" + std::to_string(lexicon.leftOut) +
                  " left out for symbols outside the vocabulary)");
}

}  // namespace

MisakiLexiconImport::Digests MisakiLexiconImport::Digests::pinned() {
    return {"dc414872a49a28ae6c141463d502fd945f3b2fde040484fdc47d00cc4612686f",
            "de8f67be911bb6c659187b4a65fd966b6a30e56350e0f790d763210b053ac475"};
}

std::optional<std::string> MisakiLexiconImport::sourceURL() {
    if (const char* configured = std::getenv("RARIVOREDU_LEXICON_URL"); configured && *configured) {
        std::string base(configured);
        while (!base.empty() && base.back() == '/') base.pop_back();
        return base;
    }
    if (const char* hub = std::getenv("RARIVOREDU_HUB_URL"); hub && *hub) return std::nullopt;
    return std::string(pinnedBaseURL);
}

bool MisakiLexiconImport::importFromSource(const fs::path& destination, const PhonemeSet& allowed) {
    const auto base = sourceURL();
    if (!base) return false;
    importFromURL(*base, Digests::pinned(), destination, allowed);
    return true;
}

void MisakiLexiconImport::importFromURL(const std::string& baseURL, const Digests& digests,
                                        const fs::path& destination, const PhonemeSet& allowed) {
    // The downloads land beside the lexicon, in a folder that goes with this call.
    const StagedModelFolder scratch(destination.parent_path() / ".misaki-word-lists");
    std::string texts[2];
    const std::pair<const char*, const std::string*> files[2] = {{goldFile, &digests.gold},
                                                                 {silverFile, &digests.silver}};
    for (int i = 0; i < 2; ++i) {
        const std::string url = baseURL + "/" + files[i].first;
        const fs::path local = scratch.path() / files[i].first;
        logger().info("Fetching " + url);
        PinnedSource{url, *files[i].second, maximumWordListBytes, titleOf(files[i].first)}.fetch(local, logger());
        texts[i] = readWhole(local);
    }
    convertAndWrite(texts[0], texts[1], destination, allowed);
}

void MisakiLexiconImport::importFiles(const fs::path& gold, const fs::path& silver, const fs::path& destination,
                                      const PhonemeSet& allowed, const std::optional<Digests>& digests) {
    const std::string goldText = readWhole(gold);
    const std::string silverText = readWhole(silver);
    if (digests) {
        requireDigest(platform::SHA256::hexDigest(goldText), digests->gold, gold.string(), goldFile);
        requireDigest(platform::SHA256::hexDigest(silverText), digests->silver, silver.string(), silverFile);
    }
    convertAndWrite(goldText, silverText, destination, allowed);
}

}  // namespace rarivoredu

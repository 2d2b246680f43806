#include "RarivOredu/cli/RttmWriter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace rarivoredu::cli {

std::string RttmWriter::recordingId(const std::string& fileName) {
    std::string id = std::filesystem::path(fileName).stem().string();
    std::replace_if(id.begin(), id.end(), [](unsigned char c) { return std::isspace(c) != 0; }, '_');
    return id.empty() ? "recording" : id;
}

std::string RttmWriter::rttm(const std::string& recordingId, const std::vector<api::SpeakerTurn>& turns) {
    std::string result;
    for (const api::SpeakerTurn& turn : turns) {
        char times[64];
        std::snprintf(times, sizeof times, "%.3f %.3f", turn.start, std::max(turn.end - turn.start, 0.0));
        result += "SPEAKER " + recordingId + " 1 " + times + " <NA> <NA> " + turn.speaker + " <NA> <NA>\n";
    }
    return result;
}

}  // namespace rarivoredu::cli

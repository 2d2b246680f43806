#pragma once

#include <string>
#include <vector>

#include "rarivoredu/Diarizer.h"

namespace rarivoredu::cli {

// Speaker turns in the RTTM format of speaker diarization evaluations, one line a turn:
// "SPEAKER <recording> 1 <start> <duration> <NA> <NA> <speaker> <NA> <NA>".
class RttmWriter {
public:
    RttmWriter() = delete;

    // The recording's id is its file name without the extension, white space replaced by "_".
    static std::string recordingId(const std::string& fileName);
    static std::string rttm(const std::string& recordingId, const std::vector<api::SpeakerTurn>& turns);
};

}  // namespace rarivoredu::cli

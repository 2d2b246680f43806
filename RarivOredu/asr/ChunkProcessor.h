#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "RarivOredu/asr/ASRResult.h"
#include "RarivOredu/asr/TdtDecoderState.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

class AsrManager;

// Recognises audio longer than one model window (15 s). The recording is cut into centres of
// centerSeconds; each window adds leftContextSeconds before and rightContextSeconds after its
// centre. Windows are decoded one after another on one decoder state, and each window decodes
// exactly the frames of its centre, starting at the frame where the previous one stopped, so the
// contexts give the encoder acoustic context and no frame is decoded twice or skipped. The last
// window reaches back to hold a full model window of audio.
struct ChunkProcessor {
    using Clock = std::chrono::steady_clock;

    // The whole recording, 16 kHz mono; it must outlive the processor.
    std::span<const float> audioSamples;
    AppLogger logger{"ChunkProcessor"};
    std::int64_t sampleRate = 16000;
    double centerSeconds = 11.2;
    double leftContextSeconds = 1.6;
    double rightContextSeconds = 1.6;

    // What one window produced: token ids, global frames and confidences, and where the decoder
    // state's frame overrun now counts from.
    struct ChunkResult {
        std::vector<int> tokens;
        std::vector<int> timestamps;
        std::vector<float> confidences;
        int largestFrame = 0;
        // The global frame at the end of the frames the window decoded; unchanged when the
        // decoder had nothing to decode in it.
        int resumeAnchor = 0;
    };

    // Recognises the recording with the manager on the given state, timing from `startTime`.
    // Throws what the recogniser throws, ASRError::processingFailed when a window's lists
    // disagree in length, and NSError (CocoaError userCancelled) before the next window once the
    // thread's current CancellationToken is cancelled. Each window done is reported to the
    // thread's current platform::Progress as (windows done, windows in all).
    ASRResult process(AsrManager& manager, TdtDecoderState& decoderState, Clock::time_point startTime) const;

    // One window with centre start `centerStart`. `resumeAnchor` is the global frame from which
    // the state's frame overrun counts (the end of the previous window's decoded frames).
    ChunkResult processChunk(std::int64_t centerStart, int windowIndex, int resumeAnchor, bool isLastChunk,
                             AsrManager& manager, TdtDecoderState& decoderState,
                             std::vector<float>& windowBuffer) const;
};

}  // namespace rarivoredu

#pragma once

#include <memory>
#include <span>
#include <string>

#include "rarivoredu/ModelVersion.h"

namespace rarivoredu::api {

// Live recognition: audio is handed over as it arrives and recognised on a thread of the
// transcriber's own, window by window. The confirmed text only grows; the volatile text is the
// latest window's guess and may still change.
class StreamingTranscriber {
public:
    // Loads the models (v3) from Models::directory() and starts the recognition thread. Throws
    // Error modelsMissing or failed.
    StreamingTranscriber();
    ~StreamingTranscriber();
    StreamingTranscriber(const StreamingTranscriber&) = delete;
    StreamingTranscriber& operator=(const StreamingTranscriber&) = delete;

    // Queues mono samples at `sampleRate`; never blocks.
    void feed(std::span<const float> samples, int sampleRate = 16000);
    std::string confirmedText() const;
    std::string volatileText() const;
    // Ends the input, waits until everything queued is recognised and returns the whole text.
    // Throws Error failed when recognition failed.
    std::string finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rarivoredu::api

#pragma once

#include <memory>
#include <span>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace rarivoredu {

// Changes the tempo of 24 kHz mono speech and keeps its pitch (SoundTouch's overlap-add time
// stretching, tuned for speech). One object serves one thread at a time; it keeps its working
// buffers from call to call.
class TimeStretcher {
public:
    TimeStretcher();
    ~TimeStretcher();
    TimeStretcher(const TimeStretcher&) = delete;
    TimeStretcher& operator=(const TimeStretcher&) = delete;

    // The samples played `tempo` times as fast (tempo > 0): round(n ÷ tempo) samples, written to
    // `output` (replacing its contents).
    void stretch(std::span<const float> input, double tempo, std::vector<float>& output);

private:
    std::unique_ptr<soundtouch::SoundTouch> engine_;
};

}  // namespace rarivoredu

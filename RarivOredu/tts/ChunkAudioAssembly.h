#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace rarivoredu::KokoroSynthesizer {

// Chunks are joined by a cross-fade of at most 192 samples (8 ms), or after a pause.
constexpr std::size_t maxCrossfadeSamples = 192;
// Loops over samples go in blocks of this many, a fixed count the compiler keeps in vector registers.
constexpr std::size_t sampleLanes = 8;

// The chunks of a request joined into one signal without copying them: the signal is a list of
// pieces, runs of the chunks' own samples and of the cross-faded seams and silences held here
// (all of them in one buffer). The chunks must stay where they are while the pieces are read.
//
// The first chunk goes in whole. After a chunk with a pause of at least 1 ms, that many
// milliseconds of silence come first. Otherwise the last f = min(signal, chunk, 192) samples fade
// out while the chunk's first f fade in (linear ramps from 0 to 1 inclusive), and the rest of the
// chunk follows.
class JoinedAudio {
public:
    void append(std::span<const float> chunk, bool first, int previousPauseMs);

    // The pieces in order; they stay valid until the next append.
    std::vector<std::span<const float>> pieces() const;
    std::size_t sampleCount() const noexcept { return count_; }
    float peakMagnitude() const noexcept;
    // The signal as one array.
    std::vector<float> samples() const;

private:
    // Samples of a chunk, or of the held buffer from `start` when `chunk` is null.
    struct Piece {
        const float* chunk = nullptr;
        std::size_t start = 0;
        std::size_t size = 0;
    };

    std::span<const float> view(const Piece& piece) const noexcept;
    void push(const Piece& piece);
    // Takes the last `count` samples off the signal, into the held buffer from `into` on.
    void takeTail(std::size_t count, std::size_t into);

    std::vector<Piece> pieces_;
    std::vector<float> held_;
    std::size_t count_ = 0;
};

// The largest magnitude of the samples; 0 when there are none.
float peakMagnitude(std::span<const float> samples) noexcept;
// Divides every sample by the divisor.
void divideSamples(std::span<float> samples, float divisor) noexcept;

}  // namespace rarivoredu::KokoroSynthesizer

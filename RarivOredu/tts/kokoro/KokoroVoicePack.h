#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace rarivoredu {

class TorchCheckpoint;

// A Kokoro voice: 510 style vectors of 256 floats (the model's `ref_s`), one per phoneme count.
// Kokoro's own pipeline voices a string of p phonemes with row p − 1; our token counts hold the
// two boundary ids as well, so a chunk of n ids takes row n − 3 (row 0 below that, the last row
// above the table).
class KokoroVoicePack {
public:
    static constexpr int rows = 510;
    static constexpr int width = 256;

    // The model repository's voices/<id>.pt: a bare tensor of 510 × 1 × 256 (or 510 × 256).
    // Throws CheckpointError: the reader's errors; wrongShape for any other shape.
    static KokoroVoicePack fromCheckpoint(const TorchCheckpoint& checkpoint);
    // Raw little-endian float32 rows (kokoro-js's voices/<id>.bin). Throws CheckpointError:
    // unreadable; malformed "Voice file <name> of N bytes (expected 522240)" for another size.
    static KokoroVoicePack fromFloat32File(const std::filesystem::path& file);

    std::span<const float> row(int index) const;
    // The row a chunk of `tokenCount` ids (boundaries included) is voiced with.
    static int rowForTokenCount(int tokenCount) noexcept;

    // The voice file the synthesiser reads: an object whose member "n" (n = 2 … 512) holds the
    // vector for n ids; numbers written so that they read back as the same floats.
    std::string toJSON() const;
    // Writes it to `file` through a temporary beside it, replaced in one rename.
    void writeJSON(const std::filesystem::path& file) const;

private:
    explicit KokoroVoicePack(std::vector<float> values) : values_(std::move(values)) {}

    std::vector<float> values_;
};

}  // namespace rarivoredu

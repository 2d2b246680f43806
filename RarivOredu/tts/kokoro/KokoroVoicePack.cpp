#include "RarivOredu/tts/kokoro/KokoroVoicePack.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"

namespace rarivoredu {

namespace {

constexpr std::size_t valueCount = static_cast<std::size_t>(KokoroVoicePack::rows) * KokoroVoicePack::width;

}  // namespace

KokoroVoicePack KokoroVoicePack::fromCheckpoint(const TorchCheckpoint& checkpoint) {
    const TensorRecord* tensor = checkpoint.find("");
    if (!tensor) {
        if (checkpoint.tensors().size() != 1) throw CheckpointError::missingTensor("voice");
        tensor = &checkpoint.tensors().begin()->second;
    }
    const std::vector<std::int64_t> expected{rows, 1, width};
    const bool flat = tensor->shape == std::vector<std::int64_t>{rows, width};
    if (tensor->shape != expected && !flat) throw CheckpointError::wrongShape("voice", expected, tensor->shape);
    const auto array = tensor->toFloat32();
    return KokoroVoicePack(std::vector<float>(array->data<float>(), array->data<float>() + valueCount));
}

KokoroVoicePack KokoroVoicePack::fromFloat32File(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw CheckpointError::unreadable(file, "cannot be opened");
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() != valueCount * sizeof(float)) {
        throw CheckpointError::malformed("Voice file " + file.filename().string() + " of " +
                                         std::to_string(bytes.size()) + " bytes (expected " +
                                         std::to_string(valueCount * sizeof(float)) + ")");
    }
    std::vector<float> values(valueCount);
    std::memcpy(values.data(), bytes.data(), bytes.size());  // little-endian hosts only
    return KokoroVoicePack(std::move(values));
}

std::span<const float> KokoroVoicePack::row(int index) const {
    index = std::clamp(index, 0, rows - 1);
    return {values_.data() + static_cast<std::size_t>(index) * width, static_cast<std::size_t>(width)};
}

int KokoroVoicePack::rowForTokenCount(int tokenCount) noexcept { return std::clamp(tokenCount - 3, 0, rows - 1); }

std::string KokoroVoicePack::toJSON() const {
    std::string text = "{";
    char number[32];
    for (int tokens = 2; tokens <= rows + 2; ++tokens) {
        text += tokens == 2 ? "\n\"" : ",\n\"";
        text += std::to_string(tokens) + "\": [";
        const auto values = row(rowForTokenCount(tokens));
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i) text += ", ";
            const auto end = std::to_chars(number, number + sizeof number, values[i]).ptr;
            text.append(number, end);
        }
        text += "]";
    }
    return text + "\n}\n";
}

void KokoroVoicePack::writeJSON(const std::filesystem::path& file) const {
    std::filesystem::create_directories(file.parent_path());
    const auto temporary = file.parent_path() / (file.filename().string() + ".part-" + std::to_string(::getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << toJSON();
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw CheckpointError::unreadable(temporary, "cannot be written");
        }
    }
    std::filesystem::rename(temporary, file);
}

}  // namespace rarivoredu

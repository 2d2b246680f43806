#pragma once

#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/HubSandbox.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/tts/KokoroFixtureModels.h"

namespace ttstest {

// The description of what the action throws, or "no failure".
inline std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no failure";
}

// A loopback hub serving the fixture synthesis repository, and a synthesis cache of its own
// ($XDG_CACHE_HOME in the sandbox) for the length of a test.
class SynthesisSandbox {
public:
    explicit SynthesisSandbox(testsupport::KokoroFixtureModels::Options options = {},
                              const std::vector<std::string>& voices = {"af_heart"})
        : models(options) {
        environment_.set("XDG_CACHE_HOME", (sandbox.root() / "cache").string());
        models.addToHub(sandbox.hub, voices);
    }

    testsupport::HubSandbox sandbox;
    testsupport::KokoroFixtureModels models;

    testsupport::TestHub& hub() { return sandbox.hub; }
    std::filesystem::path cacheRoot() const { return sandbox.root() / "cache" / "rarivoredu"; }
    std::filesystem::path kokoroFolder() const { return cacheRoot() / "Models" / "kokoro"; }
    static std::string filePath(const std::string& path) {
        return testsupport::TestHub::filePath(testsupport::KokoroFixtureModels::repoId, path);
    }

private:
    testsupport::ScopedEnvironment environment_;
};

// The fields of a mono 16-bit WAV file as the synthesizer writes it.
struct WavFile {
    std::string riff, wave, fmt, data;
    std::uint32_t riffSize = 0, fmtSize = 0, sampleRate = 0, byteRate = 0, dataSize = 0;
    std::uint16_t format = 0, channels = 0, blockAlign = 0, bitsPerSample = 0;
    std::vector<std::int16_t> samples;

    static WavFile parse(const std::vector<std::uint8_t>& bytes) {
        WavFile wav;
        if (bytes.size() < 44) return wav;
        const auto text = [&](std::size_t at) { return std::string(reinterpret_cast<const char*>(&bytes[at]), 4); };
        const auto u32 = [&](std::size_t at) {
            std::uint32_t value;
            std::memcpy(&value, &bytes[at], 4);
            return value;
        };
        const auto u16 = [&](std::size_t at) {
            std::uint16_t value;
            std::memcpy(&value, &bytes[at], 2);
            return value;
        };
        wav.riff = text(0), wav.riffSize = u32(4), wav.wave = text(8), wav.fmt = text(12), wav.fmtSize = u32(16);
        wav.format = u16(20), wav.channels = u16(22), wav.sampleRate = u32(24), wav.byteRate = u32(28);
        wav.blockAlign = u16(32), wav.bitsPerSample = u16(34), wav.data = text(36), wav.dataSize = u32(40);
        wav.samples.resize((bytes.size() - 44) / 2);
        std::memcpy(wav.samples.data(), &bytes[44], wav.samples.size() * 2);
        return wav;
    }
};

}  // namespace ttstest

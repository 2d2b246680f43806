#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "Platform/audio/AudioInputBackend.h"

struct pa_stream;

namespace platform {

class PulseAudioConnection;
class PulseAudioHardware;

// A record stream of a PulseAudio source, in 32-bit float at the source's own rate and channel
// count, so that the server converts nothing. The receiver runs on the connection's loop thread.
class PulseAudioInputBackend : public AudioInputBackend {
public:
    explicit PulseAudioInputBackend(std::shared_ptr<PulseAudioHardware> hardware);
    ~PulseAudioInputBackend() override;

    bool setDevice(const std::string& uid) override;
    const std::string& device() const override { return device_; }
    std::optional<AVAudioFormat> format() override;
    void start(const AVAudioFormat& format, Receiver receiver) override;
    void stop() override;
    std::string capturedDevice() override;
    bool inputLost() const override { return lost_.load(std::memory_order_acquire); }

private:
    static void onRead(pa_stream* stream, std::size_t bytes, void* userdata);
    static void onState(pa_stream* stream, void* userdata);
    static void onMoved(pa_stream* stream, void* userdata);
    // The source to record: the bound one, else the server's default input. A default that is the
    // monitor of an output (what the speakers play) gives way to the first real input. None when
    // the server lists no input.
    std::optional<std::string> source() const;
    // Lock held: ends the stream without a further callback.
    void release();

    std::shared_ptr<PulseAudioHardware> hardware_;
    std::string device_;
    std::shared_ptr<PulseAudioConnection> connection_;  // while capturing
    pa_stream* stream_ = nullptr;
    Receiver receiver_;
    std::size_t frameBytes_ = 0;
    bool running_ = false;  // ready and not yet failed; read and written on the loop thread or under its lock
    std::atomic<bool> lost_{false};  // the source went away or the stream was moved off it
};

}  // namespace platform

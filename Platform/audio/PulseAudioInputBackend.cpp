#include "Platform/audio/PulseAudioInputBackend.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <cmath>

#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/PulseAudioConnection.h"
#include "Platform/audio/PulseAudioHardware.h"
#include "Platform/log/Logger.h"

namespace platform {
namespace {

// How much the server gathers before it hands audio over: short, so a stop loses nothing much.
constexpr pa_usec_t fragmentMicroseconds = 20000;

const Logger& captureLogger() {
    static const Logger logger("com.parloquin", "AudioCapture");
    return logger;
}

}  // namespace

PulseAudioInputBackend::PulseAudioInputBackend(std::shared_ptr<PulseAudioHardware> hardware)
    : hardware_(std::move(hardware)) {}

PulseAudioInputBackend::~PulseAudioInputBackend() { stop(); }

bool PulseAudioInputBackend::setDevice(const std::string& uid) {
    if (!uid.empty()) {
        bool known = false;
        for (const AudioInputDevice& device : hardware_->inputDevices()) known = known || device.uid == uid;
        if (!known) return false;
    }
    device_ = uid;
    return true;
}

std::optional<std::string> PulseAudioInputBackend::source() const {
    if (!device_.empty()) return device_;
    const std::vector<AudioInputDevice> inputs = hardware_->inputDevices();
    if (inputs.empty()) return std::nullopt;
    if (const std::optional<std::string> fallback = hardware_->defaultInputDeviceUID()) {
        for (const AudioInputDevice& input : inputs)
            if (input.uid == *fallback) return fallback;
    }
    return inputs.front().uid;
}

std::optional<AVAudioFormat> PulseAudioInputBackend::format() {
    const std::optional<std::string> name = source();
    if (!name) return std::nullopt;
    return hardware_->inputFormat(*name);
}

void PulseAudioInputBackend::start(const AVAudioFormat& format, Receiver receiver) {
    stop();
    if (format.commonFormat() != AVAudioCommonFormat::pcmFormatFloat32 || format.channelCount() > PA_CHANNELS_MAX ||
        format.sampleRate() > PA_RATE_MAX || format.sampleRate() != std::floor(format.sampleRate())) {
        throw AVAudioError::make(AVAudioError::captureFailed, "The sound server cannot record in this format.");
    }
    // Recorded by name: a stream left to the server's default would follow it onto a monitor.
    const std::optional<std::string> name = source();
    if (!name) throw AVAudioError::make(AVAudioError::deviceUnavailable, "No audio input device is available.");
    std::shared_ptr<PulseAudioConnection> connection = hardware_->connection();
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(format.sampleRate()),
                              static_cast<uint8_t>(format.channelCount())};
    auto fail = [&](const std::string& what) {
        return AVAudioError::make(AVAudioError::captureFailed,
                                  "The audio input could not be started: " + what + ".");
    };

    PulseAudioConnection::Lock lock(*connection);
    pa_stream* stream = pa_stream_new(connection->context(), "Recording", &spec, nullptr);
    if (stream == nullptr) throw fail(connection->lastError());
    receiver_ = std::move(receiver);
    frameBytes_ = pa_frame_size(&spec);
    connection_ = connection;
    stream_ = stream;
    pa_stream_set_state_callback(stream, onState, this);
    pa_stream_set_read_callback(stream, onRead, this);
    pa_stream_set_moved_callback(stream, onMoved, this);
    running_ = false;
    lost_.store(false, std::memory_order_release);

    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(-1);
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(fragmentMicroseconds, &spec));
    // When the source goes away the server would move the stream to another one, often the
    // monitor of the speakers: the stream stays on its source and ends with it instead.
    bool started = pa_stream_connect_record(stream, name->c_str(), &attributes,
                                            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                                           PA_STREAM_DONT_MOVE)) == 0;
    while (started) {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) {
            running_ = true;
            break;
        }
        if (!PA_STREAM_IS_GOOD(state) || !connection->isAlive()) started = false;
        if (started) pa_threaded_mainloop_wait(connection->mainloop());
    }
    if (!started) {
        const std::string reason = connection->lastError();
        release();
        receiver_ = nullptr;
        connection_.reset();
        throw fail(reason);
    }
}

void PulseAudioInputBackend::stop() {
    if (stream_ == nullptr) return;
    {
        PulseAudioConnection::Lock lock(*connection_);
        release();
    }
    receiver_ = nullptr;
    connection_.reset();
}

void PulseAudioInputBackend::release() {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

std::string PulseAudioInputBackend::capturedDevice() {
    if (stream_ == nullptr) return {};
    PulseAudioConnection::Lock lock(*connection_);
    const char* name = pa_stream_get_device_name(stream_);
    return name != nullptr ? std::string(name) : std::string();
}

void PulseAudioInputBackend::onState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseAudioInputBackend*>(userdata);
    // The server ends a running stream when its source goes away: the recording is cut short,
    // which the log says and inputLost() tells.
    if (self->running_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        self->running_ = false;
        self->lost_.store(true, std::memory_order_release);
        captureLogger().log(OSLogType::error,
                            "The audio input stopped during the recording: " + self->connection_->lastError());
    }
    self->connection_->signal();
}

// A server that moves the stream all the same (a user's mixer, a server that ignores the flag)
// would have it record another input: nothing from there is delivered.
void PulseAudioInputBackend::onMoved(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseAudioInputBackend*>(userdata);
    self->lost_.store(true, std::memory_order_release);
    const char* name = pa_stream_get_device_name(stream);
    captureLogger().log(OSLogType::error, std::string("The audio input moved to another device, whose sound is not "
                                                      "recorded: ") +
                                              (name != nullptr ? name : "unknown"));
    self->connection_->signal();
}

void PulseAudioInputBackend::onRead(pa_stream* stream, std::size_t, void* userdata) {
    auto* self = static_cast<PulseAudioInputBackend*>(userdata);
    while (pa_stream_readable_size(stream) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
        const auto frames = static_cast<AVAudioFrameCount>(bytes / self->frameBytes_);
        if (self->lost_.load(std::memory_order_acquire)) {
            pa_stream_drop(stream);
            continue;
        }
        // No data but a length is a gap in the capture: it stays as silence, so time keeps its pace.
        if (frames > 0) self->receiver_(static_cast<const float*>(data), frames);
        pa_stream_drop(stream);
    }
}

}  // namespace platform

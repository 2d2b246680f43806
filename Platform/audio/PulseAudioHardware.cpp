#include "Platform/audio/PulseAudioHardware.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/thread-mainloop.h>

#include "Platform/audio/PulseAudioInputBackend.h"
#include "Platform/system/NSError.h"

namespace platform {
namespace {

struct SourceList {
    const PulseAudioConnection* connection;
    std::vector<AudioInputDevice> devices;
};

struct SourceFormat {
    const PulseAudioConnection* connection;
    std::optional<AVAudioFormat> format;
};

struct DefaultSource {
    const PulseAudioConnection* connection;
    std::optional<std::string> name;
};

std::optional<std::string> property(const pa_proplist* properties, const char* key) {
    if (properties == nullptr) return std::nullopt;
    const char* value = pa_proplist_gets(properties, key);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

}  // namespace

std::shared_ptr<AudioHardware> AudioHardware::system() {
    static const std::shared_ptr<AudioHardware> hardware = PulseAudioHardware::make();
    return hardware;
}

std::shared_ptr<PulseAudioHardware> PulseAudioHardware::make(std::string applicationName) {
    return std::shared_ptr<PulseAudioHardware>(new PulseAudioHardware(std::move(applicationName)));
}

std::shared_ptr<PulseAudioConnection> PulseAudioHardware::connection() {
    bool replaced = false;
    std::shared_ptr<PulseAudioConnection> connection;
    {
        std::lock_guard guard(connectionMutex_);
        if (connection_) {
            PulseAudioConnection::Lock lock(*connection_);
            if (connection_->isAlive()) return connection_;
        }
        replaced = connection_ != nullptr;
        connection_.reset();
        connection = PulseAudioConnection::connect(applicationName_);
        std::weak_ptr<PulseAudioHardware> weak = weak_from_this();
        connection->subscribeToInputChanges([weak] {
            if (auto self = weak.lock()) self->notifyListeners();
        });
        connection_ = connection;
    }
    // The server came back: what it offers may have changed meanwhile.
    if (replaced) notifyListeners();
    return connection;
}

std::shared_ptr<PulseAudioConnection> PulseAudioHardware::liveConnection() {
    try {
        return connection();
    } catch (const NSError&) {
        return nullptr;
    }
}

std::vector<AudioInputDevice> PulseAudioHardware::inputDevices() {
    const std::shared_ptr<PulseAudioConnection> connection = liveConnection();
    if (!connection) return {};
    SourceList list{connection.get(), {}};
    PulseAudioConnection::Lock lock(*connection);
    connection->await(pa_context_get_source_info_list(
        connection->context(),
        [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            auto* list = static_cast<SourceList*>(userdata);
            if (eol != 0 || info == nullptr) {
                list->connection->signal();
                return;
            }
            if (info->monitor_of_sink != PA_INVALID_INDEX || info->name == nullptr) return;
            AudioInputDevice device;
            device.id = info->index;
            device.uid = info->name;
            if (info->description != nullptr && *info->description != '\0') device.name = info->description;
            device.manufacturer = property(info->proplist, "device.vendor.name");
            list->devices.push_back(std::move(device));
        },
        &list));
    return std::move(list.devices);
}

std::optional<std::string> PulseAudioHardware::defaultInputDeviceUID() {
    const std::shared_ptr<PulseAudioConnection> connection = liveConnection();
    if (!connection) return std::nullopt;
    DefaultSource result{connection.get(), std::nullopt};
    PulseAudioConnection::Lock lock(*connection);
    connection->await(pa_context_get_server_info(
        connection->context(),
        [](pa_context*, const pa_server_info* info, void* userdata) {
            auto* result = static_cast<DefaultSource*>(userdata);
            if (info != nullptr && info->default_source_name != nullptr) result->name = info->default_source_name;
            result->connection->signal();
        },
        &result));
    return result.name;
}

std::optional<AVAudioFormat> PulseAudioHardware::inputFormat(const std::string& uid) {
    std::string name = uid;
    if (name.empty()) {
        std::optional<std::string> fallback = defaultInputDeviceUID();
        if (!fallback) return std::nullopt;
        name = *fallback;
    }
    const std::shared_ptr<PulseAudioConnection> connection = liveConnection();
    if (!connection) return std::nullopt;
    SourceFormat result{connection.get(), std::nullopt};
    PulseAudioConnection::Lock lock(*connection);
    connection->await(pa_context_get_source_info_by_name(
        connection->context(), name.c_str(),
        [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            auto* result = static_cast<SourceFormat*>(userdata);
            if (eol != 0 || info == nullptr) {
                result->connection->signal();
                return;
            }
            result->format = AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, info->sample_spec.rate,
                                                 info->sample_spec.channels, true);
        },
        &result));
    return result.format;
}

std::unique_ptr<AudioInputBackend> PulseAudioHardware::makeInputBackend() {
    return std::make_unique<PulseAudioInputBackend>(shared_from_this());
}

AudioHardware::Observation PulseAudioHardware::observeDevices(std::function<void()> listener) {
    std::uint64_t id = 0;
    {
        std::lock_guard guard(listenersMutex_);
        id = nextListener_++;
        listeners_.emplace(id, std::move(listener));
    }
    liveConnection();  // changes are reported only over a live connection
    std::weak_ptr<PulseAudioHardware> weak = weak_from_this();
    return Observation([weak, id] {
        if (auto self = weak.lock()) {
            std::lock_guard guard(self->listenersMutex_);
            self->listeners_.erase(id);
        }
    });
}

void PulseAudioHardware::notifyListeners() {
    std::lock_guard guard(listenersMutex_);
    for (auto& [id, listener] : listeners_) listener();
}

}  // namespace platform

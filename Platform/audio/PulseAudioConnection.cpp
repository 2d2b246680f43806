#include "Platform/audio/PulseAudioConnection.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

#include "Platform/audio/AVAudioError.h"

namespace platform {
namespace {

void onContextState(pa_context*, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

}  // namespace

PulseAudioConnection::Lock::Lock(const PulseAudioConnection& connection) : mainloop_(connection.mainloop_) {
    pa_threaded_mainloop_lock(mainloop_);
}

PulseAudioConnection::Lock::~Lock() { pa_threaded_mainloop_unlock(mainloop_); }

std::shared_ptr<PulseAudioConnection> PulseAudioConnection::connect(const std::string& applicationName) {
    std::shared_ptr<PulseAudioConnection> connection(new PulseAudioConnection());
    auto fail = [](const std::string& reason) {
        return AVAudioError::make(AVAudioError::deviceUnavailable, "The sound server cannot be reached: " + reason);
    };

    connection->mainloop_ = pa_threaded_mainloop_new();
    if (connection->mainloop_ == nullptr) throw fail("no main loop");
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(connection->mainloop_);
    connection->context_ = pa_context_new(api, applicationName.c_str());
    if (connection->context_ == nullptr) throw fail("no context");
    pa_context_set_state_callback(connection->context_, onContextState, connection->mainloop_);

    if (pa_threaded_mainloop_start(connection->mainloop_) < 0) throw fail("the main loop did not start");
    Lock lock(*connection);
    if (pa_context_connect(connection->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        throw fail(connection->lastError());
    }
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(connection->context_);
        if (state == PA_CONTEXT_READY) break;
        if (!PA_CONTEXT_IS_GOOD(state)) throw fail(connection->lastError());
        pa_threaded_mainloop_wait(connection->mainloop_);
    }
    return connection;
}

PulseAudioConnection::~PulseAudioConnection() {
    if (mainloop_ != nullptr) pa_threaded_mainloop_stop(mainloop_);
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (mainloop_ != nullptr) pa_threaded_mainloop_free(mainloop_);
}

bool PulseAudioConnection::isAlive() const { return pa_context_get_state(context_) == PA_CONTEXT_READY; }

std::string PulseAudioConnection::lastError() const { return pa_strerror(pa_context_errno(context_)); }

void PulseAudioConnection::await(pa_operation* operation) const {
    if (operation == nullptr) return;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING && isAlive()) {
        pa_threaded_mainloop_wait(mainloop_);
    }
    pa_operation_unref(operation);
}

void PulseAudioConnection::signal() const { pa_threaded_mainloop_signal(mainloop_, 0); }

void PulseAudioConnection::subscribeToInputChanges(std::function<void()> handler) {
    Lock lock(*this);
    changeHandler_ = std::move(handler);
    pa_context_set_subscribe_callback(
        context_,
        [](pa_context*, pa_subscription_event_type_t event, uint32_t, void* userdata) {
            const auto facility = event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
            const auto type = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
            // A source changes state whenever a recording starts or ends; only arrivals, departures
            // and a new default input change what the user can choose from.
            const bool sourceCameOrWent = facility == PA_SUBSCRIPTION_EVENT_SOURCE && type != PA_SUBSCRIPTION_EVENT_CHANGE;
            const bool serverChanged = facility == PA_SUBSCRIPTION_EVENT_SERVER;
            auto* self = static_cast<PulseAudioConnection*>(userdata);
            if ((sourceCameOrWent || serverChanged) && self->changeHandler_) self->changeHandler_();
        },
        this);
    pa_operation* operation = pa_context_subscribe(
        context_, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER),
        [](pa_context*, int, void* userdata) { static_cast<PulseAudioConnection*>(userdata)->signal(); }, this);
    await(operation);
}

}  // namespace platform

#pragma once

#include <functional>
#include <memory>
#include <string>

struct pa_context;
struct pa_operation;
struct pa_threaded_mainloop;

namespace platform {

// One connection to the session's PulseAudio server (PipeWire desktops offer the same protocol),
// served by a mainloop thread of its own. Its callbacks run on that thread with the loop's lock
// held; everyone else takes the lock (Lock) around every call into libpulse.
class PulseAudioConnection {
public:
    // Holds the loop's lock while it lives. Never taken on the loop's own thread.
    class Lock {
    public:
        explicit Lock(const PulseAudioConnection& connection);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* mainloop_;
    };

    // Connects without starting a server. Throws NSError (AVAudioError::deviceUnavailable) when
    // no server answers.
    static std::shared_ptr<PulseAudioConnection> connect(const std::string& applicationName);
    ~PulseAudioConnection();
    PulseAudioConnection(const PulseAudioConnection&) = delete;
    PulseAudioConnection& operator=(const PulseAudioConnection&) = delete;

    pa_context* context() const noexcept { return context_; }
    pa_threaded_mainloop* mainloop() const noexcept { return mainloop_; }

    // Lock held: false once the server has gone away or dropped the connection.
    bool isAlive() const;
    // Lock held: the reason of the last failed call.
    std::string lastError() const;
    // Lock held: waits until the operation has finished (its callbacks call signal()) or the
    // connection died, then releases it.
    void await(pa_operation* operation) const;
    // Lock held, usually from a callback: wakes the threads waiting in await().
    void signal() const;

    // Called on the loop's thread, lock held, when an input comes or goes or the server's default
    // input changes. Set once, right after connect().
    void subscribeToInputChanges(std::function<void()> handler);

private:
    PulseAudioConnection() = default;

    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    std::function<void()> changeHandler_;
};

}  // namespace platform

#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/AudioSource.h"
#include "RarivOredu/asr/StreamingAsrConfig.h"
#include "RarivOredu/asr/StreamingAsrManager.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Live recognition of several sources at once (microphone and system audio, say) on one loaded
// model set: at most one started StreamingAsrManager per source. Its functions block; its state
// is guarded by a mutex.
class StreamingAsrSession {
public:
    StreamingAsrSession();
    // Releases the models and the managers without cancelling them: a manager that someone else
    // still holds keeps running; one that only the session held stops as its destructor does.
    ~StreamingAsrSession() = default;
    StreamingAsrSession(const StreamingAsrSession&) = delete;
    StreamingAsrSession& operator=(const StreamingAsrSession&) = delete;

    // Fetches and loads the models (version 3, default folder) unless they are loaded. Loading
    // errors are thrown and nothing is kept.
    void initialize();

    // The started manager of the source: the one the session holds (the configuration is then
    // ignored), else a new one on the session's models, loaded first when needed. A call for a
    // source whose manager another call is creating waits for it and returns that manager.
    // Throws loading and start errors, StreamingAsrError::invalidConfiguration and
    // StreamingAsrError::modelsNotLoaded; nothing is stored then.
    std::shared_ptr<StreamingAsrManager> createStream(AudioSource source, const StreamingAsrConfig& config);

    // The manager held for the source, or null.
    std::shared_ptr<StreamingAsrManager> stream(AudioSource source) const;
    // Forgets the source's manager; it is neither finished nor cancelled.
    void removeStream(AudioSource source);
    std::map<AudioSource, std::shared_ptr<StreamingAsrManager>> activeStreams() const;

    // Cancels every manager (after waiting for those being created) and drops models and managers.
    void cleanup();

private:
    const AppLogger logger_;
    std::mutex loadMutex_;  // serialises loading
    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable created_;
    std::optional<AsrModels> loadedModels_;
    std::map<AudioSource, std::shared_ptr<StreamingAsrManager>> streams_;
    std::set<AudioSource> creating_;  // sources whose manager a call is starting
};

}  // namespace rarivoredu

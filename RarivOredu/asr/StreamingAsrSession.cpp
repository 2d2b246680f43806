#include "RarivOredu/asr/StreamingAsrSession.h"

#include <string>

#include "RarivOredu/asr/StreamingAsrError.h"

namespace rarivoredu {

StreamingAsrSession::StreamingAsrSession() : logger_("StreamingSession") {
    logger_.info("Created new StreamingAsrSession");
}

void StreamingAsrSession::initialize() {
    std::lock_guard load(loadMutex_);
    {
        std::lock_guard lock(mutex_);
        if (loadedModels_) {
            logger_.info("Models already loaded, skipping initialization");
            return;
        }
    }
    logger_.info("Loading ASR models for session...");
    const auto directory = AsrModels::download(std::nullopt, false, AsrModelVersion::v3);
    auto models = AsrModels::load(directory, std::nullopt, AsrModelVersion::v3);
    {
        std::lock_guard lock(mutex_);
        loadedModels_ = std::move(models);
    }
    logger_.info("ASR models loaded successfully");
}

std::shared_ptr<StreamingAsrManager> StreamingAsrSession::createStream(AudioSource source,
                                                                        const StreamingAsrConfig& config) {
    std::optional<AsrModels> models;
    {
        std::unique_lock lock(mutex_);
        if (creating_.contains(source)) {
            if (AppLogger::isEnabled(AppLogger::Level::debug)) {
                logger_.debug(std::string("Waiting for the stream being created for source: ") + name(source));
            }
            created_.wait(lock, [&] { return !creating_.contains(source); });
        }
        if (const auto it = streams_.find(source); it != streams_.end()) {
            logger_.warning(std::string("Stream already exists for source: ") + name(source) +
                            ". Returning existing stream.");
            return it->second;
        }
        creating_.insert(source);
        models = loadedModels_;
    }
    // Whatever happens, a waiting call for this source goes on.
    struct Done {
        StreamingAsrSession& session;
        AudioSource source;
        std::shared_ptr<StreamingAsrManager> manager;
        ~Done() {
            {
                std::lock_guard lock(session.mutex_);
                if (manager) session.streams_[source] = manager;
                session.creating_.erase(source);
            }
            session.created_.notify_all();
        }
    } done{*this, source, nullptr};

    if (!models) {
        initialize();
        std::lock_guard lock(mutex_);
        models = loadedModels_;
        if (!models) throw StreamingAsrError::modelsNotLoaded();
    }
    logger_.info(std::string("Creating new stream for source: ") + name(source));
    auto manager = std::make_shared<StreamingAsrManager>(config);
    manager->start(*models, source);
    done.manager = manager;
    return manager;
}

std::shared_ptr<StreamingAsrManager> StreamingAsrSession::stream(AudioSource source) const {
    std::lock_guard lock(mutex_);
    const auto it = streams_.find(source);
    return it == streams_.end() ? nullptr : it->second;
}

void StreamingAsrSession::removeStream(AudioSource source) {
    std::lock_guard lock(mutex_);
    if (streams_.erase(source) > 0) logger_.info(std::string("Removed stream for source: ") + name(source));
}

std::map<AudioSource, std::shared_ptr<StreamingAsrManager>> StreamingAsrSession::activeStreams() const {
    std::lock_guard lock(mutex_);
    return streams_;
}

void StreamingAsrSession::cleanup() {
    logger_.info("Cleaning up StreamingAsrSession...");
    std::map<AudioSource, std::shared_ptr<StreamingAsrManager>> streams;
    {
        std::unique_lock lock(mutex_);
        created_.wait(lock, [&] { return creating_.empty(); });
        streams.swap(streams_);
        loadedModels_.reset();
    }
    for (const auto& [source, manager] : streams) {
        manager->cancel();
        logger_.info(std::string("Cancelled stream for source: ") + name(source));
    }
    logger_.info("StreamingAsrSession cleanup complete");
}

}  // namespace rarivoredu

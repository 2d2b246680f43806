// The recovery half of StreamingAsrManager: what the recogniser thread does when a window fails.
// It owns the decision per StreamingAsrError kind (reset the decoder state, reinitialise the
// recogniser from its models, or give up and say why in the log) and the reinitialisation itself;
// the windowing, the transcripts and the stream's life stay in StreamingAsrManager.cpp.
#include "RarivOredu/asr/StreamingAsrManager.h"

#include "RarivOredu/asr/StreamingAsrError.h"

namespace rarivoredu {

void StreamingAsrManager::recover(const std::exception_ptr& error) {
    try {
        logger_.warning("Attempting error recovery for: " + StreamingAsrError::describe(error));
        if (!error) {
            reinitialize();
            return;
        }
        try {
            std::rethrow_exception(error);
        } catch (const StreamingAsrError& e) {
            using Kind = StreamingAsrError::Kind;
            switch (e.kind()) {
                case Kind::streamAlreadyExists:
                    logger_.error("Stream already exists - cannot recover automatically");
                    break;
                case Kind::audioBufferProcessingFailed: logger_.info("Recovering from audio buffer error"); break;
                case Kind::audioConversionFailed: logger_.info("Recovering from audio conversion error"); break;
                case Kind::modelProcessingFailed:
                    logger_.info("Recovering from model processing error - resetting decoder state");
                    reinitialize();
                    break;
                case Kind::invalidConfiguration:
                    logger_.error("Configuration error cannot be recovered automatically");
                    break;
                case Kind::modelsNotLoaded: logger_.error("Models not loaded - cannot recover automatically"); break;
                case Kind::bufferOverflow: logger_.info("Buffer overflow handled automatically"); break;
            }
        } catch (...) {
            reinitialize();
        }
    } catch (...) {
        // Recovery never fails the stream.
    }
}

void StreamingAsrManager::reinitialize() {
    std::shared_ptr<AsrManager> asr;
    AudioSource source;
    {
        std::lock_guard lock(mutex_);
        asr = asrManager_;
        source = audioSource_;
    }
    if (!asr) return;
    try {
        asr->resetDecoderState(source);
        logger_.info("Successfully reset decoder state during error recovery");
        return;
    } catch (...) {
        logger_.error("Failed to reset decoder state during recovery: " +
                      StreamingAsrError::describe(std::current_exception()));
    }
    try {
        const auto directory = AsrModels::download(std::nullopt, false, AsrModelVersion::v3);
        const auto models = AsrModels::load(directory, std::nullopt, AsrModelVersion::v3);
        auto fresh = std::make_shared<AsrManager>(ASRConfig::defaultConfig());
        fresh->initialize(models);
        {
            std::lock_guard lock(mutex_);
            asrManager_ = std::move(fresh);
        }
        logger_.info("Successfully reinitialized ASR manager during error recovery");
    } catch (...) {
        logger_.error("Failed to reinitialize ASR manager during recovery: " +
                      StreamingAsrError::describe(std::current_exception()));
    }
}

}  // namespace rarivoredu

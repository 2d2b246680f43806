#include "Parloquin/services/TranscriptionStores.h"

namespace parloquin {

TranscriptionStores::TranscriptionStores(platform::UserDefaults& defaults, std::shared_ptr<const platform::Clock> clock)
    : history_(defaults, clock), statistics_(defaults, clock) {}

void TranscriptionStores::store(const TranscriptionRecord& record) {
    history_.addRecord(record);
    statistics_.recordSession(record.charCount, record.wordCount, record.language, record.rtf, record.inferenceTime,
                              record.duration);
}

}  // namespace parloquin

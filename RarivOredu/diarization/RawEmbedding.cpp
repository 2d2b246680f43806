#include "RarivOredu/diarization/RawEmbedding.h"

#include <algorithm>

#include "RarivOredu/diarization/StoredRecord.h"

namespace rarivoredu {

nlohmann::ordered_json RawEmbedding::toJSON() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["segmentId"] = segmentId.uuidString();
    json["embedding"] = StoredRecord::floatArray(embedding);
    json["timestamp"] = timestamp.timeIntervalSinceReferenceDate();
    return json;
}

RawEmbedding RawEmbedding::fromJSON(const nlohmann::ordered_json& json) {
    const auto fields = StoredRecord::reader(json, "RawEmbedding");
    return RawEmbedding(fields.uuid("segmentId"), fields.floats("embedding"), fields.date("timestamp"));
}

void RawEmbedding::removeOldest(std::vector<RawEmbedding>& history) {
    if (history.empty()) return;
    const auto oldest = std::min_element(history.begin(), history.end(),
                                         [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
    history.erase(oldest);
}

void RawEmbedding::keepNewest(std::vector<RawEmbedding>& history, std::size_t maxCount) {
    if (history.size() <= maxCount) return;
    std::stable_sort(history.begin(), history.end(),
                     [](const auto& a, const auto& b) { return a.timestamp > b.timestamp; });
    history.erase(history.begin() + static_cast<std::ptrdiff_t>(maxCount), history.end());
}

}  // namespace rarivoredu

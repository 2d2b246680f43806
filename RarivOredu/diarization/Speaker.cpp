#include "RarivOredu/diarization/Speaker.h"

#include <algorithm>

#include "RarivOredu/diarization/StoredRecord.h"
#include "RarivOredu/diarization/VectorMath.h"

namespace rarivoredu {

using platform::Date;

namespace {

std::string resolvedId(std::optional<std::string>& id) {
    return id ? std::move(*id) : platform::UUID().uuidString();
}

}  // namespace

Speaker::Speaker(std::optional<std::string> givenId, std::optional<std::string> givenName,
                 std::vector<float> embedding, float givenDuration, std::optional<Date> givenCreatedAt,
                 std::optional<Date> givenUpdatedAt)
    : id(resolvedId(givenId)),
      name(givenName ? std::move(*givenName) : id),
      duration(givenDuration),
      currentEmbedding_(std::move(embedding)) {
    currentEmbeddingChanged();
    const Date now = Date::now();
    createdAt = givenCreatedAt.value_or(now);
    updatedAt = givenUpdatedAt.value_or(now);
}

void Speaker::setCurrentEmbedding(std::vector<float> embedding) {
    currentEmbedding_ = std::move(embedding);
    currentEmbeddingChanged();
}

void Speaker::currentEmbeddingChanged() noexcept { currentSumOfSquares_ = VectorMath::sumOfSquares(currentEmbedding_); }

void Speaker::addRawEmbedding(RawEmbedding raw) {
    if (!(VectorMath::l2Norm(raw.embedding) > minEmbeddingNorm)) return;
    if (rawEmbeddings.size() >= maxRawEmbeddings) RawEmbedding::removeOldest(rawEmbeddings);
    rawEmbeddings.push_back(std::move(raw));
    recalculateMainEmbedding();
}

void Speaker::recalculateMainEmbedding() {
    if (VectorMath::mean(rawEmbeddings, [](const RawEmbedding& raw) -> const std::vector<float>& { return raw.embedding; },
                         currentEmbedding_)) {
        currentEmbeddingChanged();
        updatedAt = Date::now();
    }
}

void Speaker::updateMainEmbedding(std::span<const float> embedding, float addedDuration, float alpha,
                                  const platform::UUID& segmentId) {
    if (!(VectorMath::l2Norm(embedding) > minEmbeddingNorm)) return;
    // With no history the mean would be the new embedding alone: average against the known one.
    const bool hadHistory = !rawEmbeddings.empty();
    std::vector<float> previous;
    if (!hadHistory) previous = currentEmbedding_;

    addRawEmbedding(RawEmbedding(segmentId, std::vector<float>(embedding.begin(), embedding.end()), Date::now()));

    const std::vector<float>& base = hadHistory ? currentEmbedding_ : previous;
    if (!embedding.empty() && base.size() == embedding.size()) {
        currentEmbedding_.resize(embedding.size());
        for (std::size_t i = 0; i < embedding.size(); ++i) {
            currentEmbedding_[i] = alpha * base[i] + (1 - alpha) * embedding[i];
        }
        currentEmbeddingChanged();
    }
    duration += addedDuration;
    updatedAt = Date::now();
    updateCount += 1;
}

std::optional<RawEmbedding> Speaker::removeRawEmbedding(const platform::UUID& segmentId) {
    const auto it = std::find_if(rawEmbeddings.begin(), rawEmbeddings.end(),
                                 [&](const RawEmbedding& raw) { return raw.segmentId == segmentId; });
    if (it == rawEmbeddings.end()) return std::nullopt;
    RawEmbedding removed = std::move(*it);
    rawEmbeddings.erase(it);
    recalculateMainEmbedding();
    return removed;
}

void Speaker::merge(const Speaker& other, std::optional<std::string> newName) {
    std::vector<RawEmbedding> combined = rawEmbeddings;
    combined.insert(combined.end(), other.rawEmbeddings.begin(), other.rawEmbeddings.end());
    RawEmbedding::keepNewest(combined, maxRawEmbeddings);
    rawEmbeddings = std::move(combined);
    duration += other.duration;
    if (newName) name = std::move(*newName);
    recalculateMainEmbedding();
    updatedAt = Date::now();
    updateCount += other.updateCount;
}

nlohmann::ordered_json Speaker::toJSON() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["id"] = id;
    json["name"] = name;
    json["currentEmbedding"] = StoredRecord::floatArray(currentEmbedding_);
    json["duration"] = StoredRecord::storedFloat(duration);
    json["createdAt"] = createdAt.timeIntervalSinceReferenceDate();
    json["updatedAt"] = updatedAt.timeIntervalSinceReferenceDate();
    json["updateCount"] = updateCount;
    nlohmann::ordered_json history = nlohmann::ordered_json::array();
    for (const auto& raw : rawEmbeddings) history.push_back(raw.toJSON());
    json["rawEmbeddings"] = std::move(history);
    return json;
}

Speaker Speaker::fromJSON(const nlohmann::ordered_json& json) {
    const auto fields = StoredRecord::reader(json, "Speaker");
    Speaker speaker(fields.string("id"), fields.string("name"), fields.floats("currentEmbedding"),
                    static_cast<float>(fields.number("duration")), fields.date("createdAt"), fields.date("updatedAt"));
    speaker.updateCount = fields.integer("updateCount");
    for (const auto& raw : fields.array("rawEmbeddings")) speaker.rawEmbeddings.push_back(RawEmbedding::fromJSON(raw));
    return speaker;
}

}  // namespace rarivoredu

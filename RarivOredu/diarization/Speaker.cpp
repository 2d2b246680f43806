#include "RarivOredu/diarization/Speaker.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "RarivOredu/diarization/JSONFields.h"
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

std::optional<std::int64_t> Speaker::numericId(std::string_view text) noexcept {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    // Parse the magnitude as unsigned so that the most negative value reads too.
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    constexpr auto maxPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (negative) {
        if (magnitude > maxPositive + 1) return std::nullopt;
        return magnitude == maxPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                            : -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > maxPositive) return std::nullopt;
    return static_cast<std::int64_t>(magnitude);
}

nlohmann::ordered_json Speaker::toJSON() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["id"] = id;
    json["name"] = name;
    json["currentEmbedding"] = JSONFields::floatArray(currentEmbedding_);
    json["duration"] = JSONFields::storedFloat(duration);
    json["createdAt"] = createdAt.timeIntervalSinceReferenceDate();
    json["updatedAt"] = updatedAt.timeIntervalSinceReferenceDate();
    json["updateCount"] = updateCount;
    nlohmann::ordered_json history = nlohmann::ordered_json::array();
    for (const auto& raw : rawEmbeddings) history.push_back(raw.toJSON());
    json["rawEmbeddings"] = std::move(history);
    return json;
}

Speaker Speaker::fromJSON(const nlohmann::ordered_json& json) {
    const JSONFields fields(json, "Speaker");
    Speaker speaker(fields.string("id"), fields.string("name"), fields.floats("currentEmbedding"),
                    static_cast<float>(fields.number("duration")), fields.date("createdAt"), fields.date("updatedAt"));
    speaker.updateCount = fields.integer("updateCount");
    for (const auto& raw : fields.array("rawEmbeddings")) speaker.rawEmbeddings.push_back(RawEmbedding::fromJSON(raw));
    return speaker;
}

}  // namespace rarivoredu

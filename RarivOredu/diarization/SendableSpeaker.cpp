#include "RarivOredu/diarization/SendableSpeaker.h"

#include <limits>

#include "Platform/system/IntegerText.h"

namespace rarivoredu {

namespace {

std::int64_t snapshotId(const std::string& id) {
    if (const auto number = platform::int64FromText(id)) return *number;
    const auto hash = static_cast<std::int64_t>(std::hash<std::string>()(id));
    // The most negative value has no absolute value; its neighbour stands in.
    if (hash == std::numeric_limits<std::int64_t>::min()) return std::numeric_limits<std::int64_t>::max();
    return hash < 0 ? -hash : hash;
}

}  // namespace

SendableSpeaker::SendableSpeaker(std::int64_t id, std::string name, float duration, std::vector<float> mainEmbedding,
                                 platform::Date createdAt, platform::Date updatedAt)
    : id(id),
      name(std::move(name)),
      duration(duration),
      mainEmbedding(std::move(mainEmbedding)),
      createdAt(createdAt),
      updatedAt(updatedAt) {}

SendableSpeaker::SendableSpeaker(const Speaker& speaker)
    : SendableSpeaker(snapshotId(speaker.id), speaker.name, speaker.duration, speaker.currentEmbedding(),
                      speaker.createdAt, speaker.updatedAt) {}

std::string SendableSpeaker::displayName() const { return name.empty() ? "Speaker #" + std::to_string(id) : name; }

}  // namespace rarivoredu

#include "RarivOredu/api/SpeakerLimit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace rarivoredu::api {
namespace {

struct Voice {
    double seconds = 0;
    std::vector<double> embedding;  // summed
};

double cosineDistance(const std::vector<double>& a, const std::vector<double>& b) {
    double dot = 0, normA = 0, normB = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        dot += a[i] * b[i];
        normA += a[i] * a[i];
        normB += b[i] * b[i];
    }
    if (normA <= 0 || normB <= 0) return 1;
    return 1 - dot / std::sqrt(normA * normB);
}

}  // namespace

void SpeakerLimit::apply(std::vector<Turn>& turns, std::size_t maxSpeakers) {
    std::map<std::string, Voice> voices;
    for (const Turn& turn : turns) {
        Voice& voice = voices[turn.speaker];
        voice.seconds += turn.end - turn.start;
        if (voice.embedding.size() < turn.embedding.size()) voice.embedding.resize(turn.embedding.size(), 0.0);
        for (std::size_t i = 0; i < turn.embedding.size(); ++i) voice.embedding[i] += turn.embedding[i];
    }
    std::map<std::string, std::string> target;
    if (maxSpeakers > 0 && voices.size() > maxSpeakers) {
        std::vector<std::string> byTime;
        for (const auto& [speaker, voice] : voices) byTime.push_back(speaker);
        std::stable_sort(byTime.begin(), byTime.end(), [&voices](const std::string& a, const std::string& b) {
            return voices[a].seconds > voices[b].seconds;
        });
        const std::vector<std::string> kept(byTime.begin(), byTime.begin() + static_cast<std::ptrdiff_t>(maxSpeakers));
        for (const std::string& speaker : byTime) {
            std::string nearest = kept.front();
            double best = std::numeric_limits<double>::infinity();
            for (const std::string& candidate : kept) {
                const double distance = candidate == speaker ? -1 : cosineDistance(voices[speaker].embedding, voices[candidate].embedding);
                if (distance < best) {
                    best = distance;
                    nearest = candidate;
                }
            }
            target[speaker] = nearest;
        }
    }
    std::stable_sort(turns.begin(), turns.end(), [](const Turn& a, const Turn& b) { return a.start < b.start; });
    std::map<std::string, std::string> names;
    for (Turn& turn : turns) {
        const auto mapped = target.find(turn.speaker);
        const std::string& speaker = mapped == target.end() ? turn.speaker : mapped->second;
        auto [name, added] = names.try_emplace(speaker, std::to_string(names.size() + 1));
        turn.speaker = name->second;
    }
}

}  // namespace rarivoredu::api

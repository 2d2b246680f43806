#pragma once

#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace rarivoredu {

// Where the time of one diarization went, in seconds.
struct PipelineTimings {
    double modelDownloadSeconds = 0;
    double modelCompilationSeconds = 0;
    double audioLoadingSeconds = 0;
    double segmentationSeconds = 0;
    double embeddingExtractionSeconds = 0;
    double speakerClusteringSeconds = 0;
    double postProcessingSeconds = 0;
    double totalInferenceSeconds = 0;   // segmentation + embedding extraction + clustering
    double totalProcessingSeconds = 0;  // every stage

    PipelineTimings() = default;
    // Computes both totals.
    PipelineTimings(double modelDownloadSeconds, double modelCompilationSeconds, double audioLoadingSeconds,
                    double segmentationSeconds, double embeddingExtractionSeconds, double speakerClusteringSeconds,
                    double postProcessingSeconds);

    // Each stage's share of the total in percent, by stage name ("Model Download", "Model
    // Compilation", "Audio Loading", "Segmentation", "Embedding Extraction", "Speaker
    // Clustering", "Post Processing"); empty when the total is not above 0.
    std::map<std::string, double> stagePercentages() const;
    // The name of the slowest stage; the earlier stage wins a tie.
    std::string bottleneckStage() const;

    // The nine fields by name, in field order. Decoding requires all nine and keeps the totals
    // as stored; throws NSError (Cocoa domain, coderReadCorrupt) otherwise.
    nlohmann::ordered_json toJSON() const;
    static PipelineTimings fromJSON(const nlohmann::ordered_json& json);
};

}  // namespace rarivoredu

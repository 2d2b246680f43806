#include "RarivOredu/diarization/PipelineTimings.h"

#include <array>
#include <utility>

#include "RarivOredu/diarization/StoredRecord.h"

namespace rarivoredu {

namespace {

using Stage = std::pair<const char*, double PipelineTimings::*>;

constexpr std::array<Stage, 7> stages{{
    {"Model Download", &PipelineTimings::modelDownloadSeconds},
    {"Model Compilation", &PipelineTimings::modelCompilationSeconds},
    {"Audio Loading", &PipelineTimings::audioLoadingSeconds},
    {"Segmentation", &PipelineTimings::segmentationSeconds},
    {"Embedding Extraction", &PipelineTimings::embeddingExtractionSeconds},
    {"Speaker Clustering", &PipelineTimings::speakerClusteringSeconds},
    {"Post Processing", &PipelineTimings::postProcessingSeconds},
}};

constexpr std::array<std::pair<const char*, double PipelineTimings::*>, 9> fields{{
    {"modelDownloadSeconds", &PipelineTimings::modelDownloadSeconds},
    {"modelCompilationSeconds", &PipelineTimings::modelCompilationSeconds},
    {"audioLoadingSeconds", &PipelineTimings::audioLoadingSeconds},
    {"segmentationSeconds", &PipelineTimings::segmentationSeconds},
    {"embeddingExtractionSeconds", &PipelineTimings::embeddingExtractionSeconds},
    {"speakerClusteringSeconds", &PipelineTimings::speakerClusteringSeconds},
    {"postProcessingSeconds", &PipelineTimings::postProcessingSeconds},
    {"totalInferenceSeconds", &PipelineTimings::totalInferenceSeconds},
    {"totalProcessingSeconds", &PipelineTimings::totalProcessingSeconds},
}};

}  // namespace

PipelineTimings::PipelineTimings(double modelDownload, double modelCompilation, double audioLoading,
                                 double segmentation, double embeddingExtraction, double speakerClustering,
                                 double postProcessing)
    : modelDownloadSeconds(modelDownload),
      modelCompilationSeconds(modelCompilation),
      audioLoadingSeconds(audioLoading),
      segmentationSeconds(segmentation),
      embeddingExtractionSeconds(embeddingExtraction),
      speakerClusteringSeconds(speakerClustering),
      postProcessingSeconds(postProcessing),
      totalInferenceSeconds(segmentation + embeddingExtraction + speakerClustering),
      totalProcessingSeconds(modelDownload + modelCompilation + audioLoading + segmentation + embeddingExtraction +
                             speakerClustering + postProcessing) {}

std::map<std::string, double> PipelineTimings::stagePercentages() const {
    std::map<std::string, double> percentages;
    if (!(totalProcessingSeconds > 0)) return percentages;
    for (const auto& [name, field] : stages) percentages[name] = this->*field / totalProcessingSeconds * 100;
    return percentages;
}

std::string PipelineTimings::bottleneckStage() const {
    const Stage* current = &stages[0];
    for (const auto& stage : stages) {
        if (this->*stage.second > this->*current->second) current = &stage;
    }
    return current->first;
}

nlohmann::ordered_json PipelineTimings::toJSON() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const auto& [key, field] : fields) json[key] = this->*field;
    return json;
}

PipelineTimings PipelineTimings::fromJSON(const nlohmann::ordered_json& json) {
    const auto reader = StoredRecord::reader(json, "PipelineTimings");
    PipelineTimings timings;
    for (const auto& [key, field] : fields) timings.*field = reader.number(key);
    return timings;
}

}  // namespace rarivoredu

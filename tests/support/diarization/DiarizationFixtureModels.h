#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/diarization/DiarizerModels.h"
#include "tests/support/ModelBundleFiles.h"
#include "tests/support/diarization/DiarizationFixtureScript.h"

namespace testsupport {

// The diarizer's two models with the real feature names and shapes, run in this process:
//  - segmentation: "audio" [1, 1, 160000] → "segments" [1, 589, 7]. Frame f hears the sample at
//    f × 270 + 135. Voices become local speakers 0, 1, 2 in the order they first speak in the
//    chunk; the frame's powerset class scores 1, every other class 0.
//  - embedding: "waveform" [3, 160000], "mask" [3, 589] → "embedding" [3, 256]: row 0 is the
//    embedding of the voice heard most often in the frames mask row 0 marks; zeros when none.
// Faults can be switched on while the models are in use.
class DiarizationFixtureModels {
public:
    static constexpr int frames = 589;
    static constexpr int frameSamples = 270;

    struct Faults {
        int embeddingValues = 256;      // values of the "embedding" output ([1, n] when not 256)
        bool omitEmbedding = false;     // no "embedding" output
        bool omitSegments = false;      // no "segments" output
        int segmentClasses = 7;         // classes of the "segments" output
        bool failSegmentation = false;  // the segmentation model throws
    };

    // What one embedding run was given.
    struct EmbeddingRun {
        float maskSum = 0;               // row 0
        bool otherRowsZero = true;       // rows 1 and 2 of the mask
        const void* maskData = nullptr;  // the mask buffer's memory
    };

    explicit DiarizationFixtureModels(DiarizationFixtureScript script);
    ~DiarizationFixtureModels();
    DiarizationFixtureModels(const DiarizationFixtureModels&) = delete;
    DiarizationFixtureModels& operator=(const DiarizationFixtureModels&) = delete;

    const platform::MLModelPtr& segmentation() const noexcept { return segmentation_; }
    const platform::MLModelPtr& embedding() const noexcept { return embedding_; }
    rarivoredu::DiarizerModels diarizerModels() const;

    // The files of the two compiled-model folders, by folder name; their engines are served by
    // this object while it lives.
    std::map<std::string, FileTree> bundles() const;

    void setFaults(Faults faults);
    int segmentationRuns() const;
    std::vector<EmbeddingRun> embeddingRuns() const;
    void clearObservations();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    platform::MLModelPtr segmentation_;
    platform::MLModelPtr embedding_;
};

}  // namespace testsupport

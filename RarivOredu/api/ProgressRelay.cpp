#include "RarivOredu/api/ProgressRelay.h"

namespace rarivoredu::api {

ProgressRelay::ProgressRelay(const ProgressHandler& handler) {
    if (!handler) return;
    scope_.emplace([handler](const ModelLoadProgress& progress) {
        handler(Progress{progress.fraction, progress.step == ModelLoadProgress::Step::download ? "download" : "import",
                         progress.detail});
    });
}

}  // namespace rarivoredu::api

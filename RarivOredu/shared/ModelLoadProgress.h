#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Platform/system/ThreadScopedHandler.h"

namespace rarivoredu {

// How far the setup of a model set has come while it is fetched and converted: the step and the
// fraction of it that is done. Whoever shows it makes a Scope on the thread that loads the
// models; the loading code reports to the current Scope's handler, on that thread. Reports come
// in order and are few (a step's fraction is reported when its tenth of a percent changes).
struct ModelLoadProgress {
    enum class Step { download, import };

    Step step = Step::download;
    double fraction = 0;            // of the step, 0…1
    std::uint64_t bytesDone = 0;    // download: bytes here so far
    std::uint64_t bytesTotal = 0;   // download: bytes of the whole file
    std::string detail;             // import: the part being converted ("encoder")

    using Handler = std::function<void(const ModelLoadProgress&)>;
    // Makes a handler the current one of this thread until it goes; Scopes nest.
    using Scope = platform::ThreadScopedHandler<ModelLoadProgress, const ModelLoadProgress&>::Scope;

    // To the current Scope's handler on this thread; nothing without one.
    static void report(const ModelLoadProgress& progress) {
        platform::ThreadScopedHandler<ModelLoadProgress, const ModelLoadProgress&>::call(progress);
    }
};

}  // namespace rarivoredu

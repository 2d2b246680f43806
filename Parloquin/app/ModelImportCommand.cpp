#include "Parloquin/app/ModelImportCommand.h"

#include <csignal>
#include <exception>
#include <filesystem>

#include "Platform/log/StandardErrorLogSink.h"
#include "Platform/system/CancellationToken.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/setup/ParakeetModelSetup.h"

namespace parloquin {
namespace {

platform::CancellationToken& interruption() {
    static platform::CancellationToken token;
    return token;
}

extern "C" void stopImport(int) { interruption().cancel(); }

}  // namespace

int ModelImportCommand::importFile(const std::string& name) {
    if (name.empty()) {
        platform::StandardErrorLogSink::writeLine("Usage: parloquin --import-model FILE (a .nemo checkpoint)");
        return 2;
    }
    const std::filesystem::path file = std::filesystem::absolute(name);

    interruption();  // made before a signal can ask for it
    std::signal(SIGINT, stopImport);
    std::signal(SIGTERM, stopImport);
    const platform::CancellationToken::Scope scope(interruption());
    try {
        const auto models = rarivoredu::AsrModels::defaultCacheDirectory().parent_path();
        const auto imported = rarivoredu::ParakeetModelSetup::importFile(file, models);
        platform::StandardErrorLogSink::writeLine(
            std::string("Imported the ") + (imported.version == rarivoredu::AsrModelVersion::v2 ? "v2" : "v3") +
            " speech models from " + file.string() + " into " + imported.folder.string(),
            1);
        return 0;
    } catch (const std::exception& error) {
        const std::string reason = platform::CancellationToken::currentIsCancelled() ? "it was interrupted" : error.what();
        platform::StandardErrorLogSink::writeLine("Could not import " + file.string() + ": " + reason);
        return 1;
    }
}

}  // namespace parloquin

#include "Parloquin/app/ModelImportCommand.h"

#include <csignal>
#include <exception>

#include "Platform/log/StandardErrorLogSink.h"
#include "Platform/system/CancellationToken.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/setup/ParakeetModelSetup.h"

namespace parloquin {
namespace {

constexpr const char* kOption = "--import-model";

platform::CancellationToken& interruption() {
    static platform::CancellationToken token;
    return token;
}

extern "C" void stopImport(int) { interruption().cancel(); }

}  // namespace

std::optional<int> ModelImportCommand::run(const std::vector<std::string>& arguments) {
    std::size_t at = 1;
    while (at < arguments.size() && arguments[at] != kOption) ++at;
    if (at >= arguments.size()) return std::nullopt;
    if (at + 1 >= arguments.size() || arguments[at + 1].empty()) {
        platform::StandardErrorLogSink::writeLine("Usage: parloquin --import-model FILE (a .nemo checkpoint)");
        return 2;
    }
    const std::filesystem::path file = std::filesystem::absolute(arguments[at + 1]);

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

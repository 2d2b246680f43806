#include "RarivOredu/shared/ModelSourceError.h"

#include "RarivOredu/shared/ModelStorageError.h"

namespace rarivoredu {
namespace {

constexpr const char* kOfflineImport =
    "richte das Sprachmodell ohne Download ein: Lade die .nemo-Datei auf einem anderen Rechner herunter und "
    "importiere sie mit „parloquin --import-model DATEI.nemo“.";

}  // namespace

ModelSourceError::ModelSourceError(Kind kind, std::string file, std::string reason)
    : kind_(kind), file_(std::move(file)), reason_(std::move(reason)) {
    switch (kind_) {
        case Kind::corruptDownload:
            description_ = "Die Datei „" + file_ +
                           "“ kam verfälscht an: Sie ist nicht die Datei, die der Server angibt. Ein neuer Versuch "
                           "über dieselbe Verbindung hilft nicht. Bitte versuche es über ein anderes Netzwerk, oder " +
                           kOfflineImport;
            break;
        case Kind::refusedCheckpoint:
            description_ = "Das Sprachmodell „" + file_ + "“ lässt sich nicht verwenden (" + reason_ +
                           "). Ein neuer Versuch hilft nicht. Bitte importiere ein passendes Modell (eine "
                           ".nemo-Datei eines Parakeet-TDT-Modells) mit „parloquin --import-model DATEI.nemo“.";
            break;
    }
}

bool ModelSourceError::isPermanent(const std::exception_ptr& error) noexcept {
    if (!error) return false;
    try {
        std::rethrow_exception(error);
    } catch (const ModelSourceError&) {
        return true;
    } catch (const ModelStorageError&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace rarivoredu

#pragma once

#include <filesystem>

namespace rarivoredu::api {

// Where the models live; the desktop application uses the same folders.
class Models {
public:
    Models() = delete;

    // $XDG_DATA_HOME/RarivOredu/Models (default ~/.local/share/RarivOredu/Models): recognition,
    // voice activity and diarization models, one folder per repository.
    static std::filesystem::path directory();
    // $XDG_CACHE_HOME/rarivoredu (default ~/.cache/rarivoredu): the speech synthesis models,
    // voices and lexicon below Models/kokoro.
    static std::filesystem::path synthesisDirectory();
};

}  // namespace rarivoredu::api

#pragma once

#include <QDir>
#include <QPixmap>
#include <filesystem>
#include <functional>

namespace parloquin_test {

using SavePicture = std::function<bool(const QPixmap& picture, const QString& name)>;

// The pages "Datei", "Verlauf" and "Statistiken" in the main window, empty and filled, in their
// states, and their sheets; a dictation service with a fixture recogniser transcribes a fixture
// file. Stores are kept in the folder given.
bool transcriptPagePictures(const std::filesystem::path& storeFolder, const SavePicture& save);

}  // namespace parloquin_test

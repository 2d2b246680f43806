#pragma once

#include <QLocale>
#include <QTranslator>
#include <memory>

namespace parloquin {

// Qt's own texts (the file chooser, the save panel, the standard buttons) in the user's language:
// Qt's translations as the desktop's Qt installs them.
struct QtTranslations {
    // Loads Qt's translations for `locale` from Qt's translations folder and installs them in the
    // application. Null when the folder holds none for that language (English stays).
    static std::unique_ptr<QTranslator> install(const QLocale& locale = QLocale());
};

}  // namespace parloquin

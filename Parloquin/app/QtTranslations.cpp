#include "Parloquin/app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace parloquin {

std::unique_ptr<QTranslator> QtTranslations::install(const QLocale& locale) {
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // "qtbase" holds the widgets' and dialogs' texts; QTranslator tries de_DE, then de.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) return nullptr;
    if (!QCoreApplication::installTranslator(translator.get())) return nullptr;
    return translator;
}

}  // namespace parloquin

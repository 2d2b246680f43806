#include "Parloquin/views/ExportOptionsView.h"

#include "Parloquin/services/StatisticsManager.h"

namespace parloquin {

ExportOptionsView::ExportOptionsView(const StatisticsManager& statistics, std::shared_ptr<FileChooser> files,
                                     QWidget* parent)
    : ExportSheet(QStringLiteral("Statistiken exportieren"),
                  QString::fromUtf8("Wähle ein Exportformat für deine Statistikdaten"),
                  {QStringLiteral("Als JSON exportieren"), jsonName, FileType::json(),
                   [&statistics] { return statistics.exportJSON(); }, noJSON},
                  {QStringLiteral("Als Textbericht exportieren"), textName, FileType::plainText(),
                   [&statistics] { return std::optional<std::string>(statistics.generateReport()); }, {}},
                  std::move(files), parent) {
    setObjectName(QStringLiteral("ExportOptionsView"));
}

}  // namespace parloquin

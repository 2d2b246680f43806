#include "Parloquin/views/HistoryExportView.h"

#include "Parloquin/services/HistoryManager.h"

namespace parloquin {

HistoryExportView::HistoryExportView(const HistoryManager& history, std::shared_ptr<FileChooser> files,
                                     QWidget* parent)
    : ExportSheet(QStringLiteral("Verlauf exportieren"),
                  QString::fromUtf8("Wähle ein Exportformat für deinen Transkriptionsverlauf"),
                  {QStringLiteral("Als JSON exportieren"), jsonName, FileType::json(),
                   [&history] { return history.exportJSON(); }, noJSON},
                  {QStringLiteral("Als CSV exportieren"), csvName, FileType::commaSeparatedValues(),
                   [&history] { return std::optional<std::string>(history.exportCSV()); }, {}},
                  std::move(files), parent) {
    setObjectName(QStringLiteral("HistoryExportView"));
}

}  // namespace parloquin

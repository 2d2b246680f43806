#pragma once

#include "Parloquin/views/ExportSheet.h"

namespace parloquin {

class HistoryManager;

// The sheet "Verlauf exportieren": the whole history as JSON or as CSV.
class HistoryExportView : public ExportSheet {
public:
    static constexpr const char* jsonName = "parloquin-history.json";
    static constexpr const char* csvName = "parloquin-history.csv";
    static constexpr const char* noJSON = "Der Verlauf ließ sich nicht als JSON schreiben.";

    HistoryExportView(const HistoryManager& history, std::shared_ptr<FileChooser> files, QWidget* parent = nullptr);

    void exportJSON() { runExport(0); }
    void exportCSV() { runExport(1); }
};

}  // namespace parloquin

#pragma once

#include "Parloquin/views/ExportSheet.h"

namespace parloquin {

class StatisticsManager;

// The sheet "Statistiken exportieren": the statistics as JSON or as a text report.
class ExportOptionsView : public ExportSheet {
public:
    static constexpr const char* jsonName = "parloquin-statistics.json";
    static constexpr const char* textName = "parloquin-statistics.txt";
    static constexpr const char* noJSON = "Die Statistiken ließen sich nicht als JSON schreiben.";

    ExportOptionsView(const StatisticsManager& statistics, std::shared_ptr<FileChooser> files,
                      QWidget* parent = nullptr);

    void exportJSON() { runExport(0); }
    void exportText() { runExport(1); }
};

}  // namespace parloquin

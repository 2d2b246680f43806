#pragma once

#include <memory>

#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/services/TranscriptionSink.h"
#include "Platform/system/Clock.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// Owns the stores of what was transcribed: the history of the last texts and the usage
// statistics, both loaded from the user defaults when this is made. The dictation service writes
// a record into both through its TranscriptionSink; the shell and the pages read and edit them
// here. Made once by the composition root (AppEnvironment). Main thread only.
class TranscriptionStores : public TranscriptionSink {
public:
    TranscriptionStores(platform::UserDefaults& defaults, std::shared_ptr<const platform::Clock> clock);

    HistoryManager& historyManager() { return history_; }
    StatisticsManager& statisticsManager() { return statistics_; }

    // Into the history and the statistics.
    void store(const TranscriptionRecord& record) override;

private:
    HistoryManager history_;
    StatisticsManager statistics_;
};

}  // namespace parloquin

#pragma once

#include <QObject>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Parloquin/services/StoredValueWriter.h"
#include "Parloquin/services/TranscriptionRecord.h"
#include "Platform/system/Clock.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// The most recent transcriptions, newest first (at most 20 after each addition), kept in
// memory and in the user defaults under "TranscriptionHistory" as a compact JSON array.
// Belongs to the main thread; every change of the list emits recordsChanged().
class HistoryManager : public QObject {
    Q_OBJECT

public:
    static constexpr std::size_t maximumRecords = 20;

    // Loads the stored history. The clock only dates backups of a stored history that no
    // longer decodes.
    explicit HistoryManager(platform::UserDefaults& defaults = platform::UserDefaults::standard(),
                            std::shared_ptr<const platform::Clock> clock = platform::Clock::system(),
                            QObject* parent = nullptr);

    const std::vector<TranscriptionRecord>& records() const { return records_; }
    // Replaces the list and notifies; does not save (the caller follows with saveHistory).
    virtual void setRecords(std::vector<TranscriptionRecord> records);
    const std::string& storageKey() const { return writer_.key(); }

    // Puts the record first, keeps the newest 20, saves.
    virtual void addRecord(TranscriptionRecord record);
    virtual std::optional<TranscriptionRecord> findRecord(const platform::UUID& id) const;
    // Removes every record with the id and saves, also when none matched.
    virtual void deleteRecord(const platform::UUID& id);
    // Records whose lower-cased text contains the lower-cased query (canonically equivalent
    // sequences match), newest first; all records for the empty query.
    virtual std::vector<TranscriptionRecord> searchRecords(std::string_view query) const;

    // Reads the stored list. One that does not decode is backed up under
    // "corrupted_history_<seconds since 1970>" and the list starts empty.
    virtual void loadHistory();
    // Writes the whole list; true when the stored value reads back as written.
    virtual bool saveHistory();

    // The list as pretty-printed JSON with sorted keys and ISO 8601 dates; nothing when a
    // record cannot be encoded.
    virtual std::optional<std::string> exportJSON() const;
    // The list as CSV: a header line and one line per record, newest first.
    virtual std::string exportCSV() const;

signals:
    void recordsChanged();

private:
    std::vector<TranscriptionRecord> records_;
    StoredValueWriter writer_;
    std::shared_ptr<const platform::Clock> clock_;
};

}  // namespace parloquin

#pragma once

#include <QObject>
#include <cstddef>
#include <memory>
#include <optional>
#include <set>
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
// Belongs to the main thread; every change of the list emits recordsChanged(). Changes are
// written by the process's StoreWriteQueue, off the calling thread; the destructor waits until
// the last one is written.
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

    // Puts the record first, keeps the newest 20, queues the save.
    virtual void addRecord(TranscriptionRecord record);
    virtual std::optional<TranscriptionRecord> findRecord(const platform::UUID& id) const;
    // Removes every record with the id and queues the save, also when none matched.
    virtual void deleteRecord(const platform::UUID& id);
    // Records whose lower-cased text contains the lower-cased query (canonically equivalent
    // sequences match), newest first; all records for the empty query.
    virtual std::vector<TranscriptionRecord> searchRecords(std::string_view query) const;

    // Reads the stored list. Records that do not decode are left out (and logged); when any
    // are, or when the value is no list of records at all, the stored bytes are first backed up
    // under "corrupted_history_<seconds since 1970>".
    virtual void loadHistory();
    // Writes the whole list and waits for it; true when the stored value reads back as written.
    // A record that JSON cannot hold is left out of what is stored (it stays in memory); it is
    // logged once and never encoded again.
    virtual bool saveHistory();
    // Waits until the queued saves are written.
    void flush() const;

    // The list as pretty-printed JSON with sorted keys and ISO 8601 dates; nothing when a
    // record cannot be encoded.
    virtual std::optional<std::string> exportJSON() const;
    // The list as CSV: a header line and one line per record, newest first.
    virtual std::string exportCSV() const;

signals:
    void recordsChanged();

private:
    // The stored form of the list: a compact JSON array of the records that can be encoded.
    platform::Data encodeForStorage();

    std::vector<TranscriptionRecord> records_;
    std::set<platform::UUID> unencodable_;  // records left out of every save
    StoredValueWriter writer_;
    std::shared_ptr<const platform::Clock> clock_;
};

}  // namespace parloquin

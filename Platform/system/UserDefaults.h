#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "Platform/log/Logger.h"
#include "Platform/system/AtomicFileWriter.h"
#include "Platform/system/Data.h"

namespace platform {

// The user's settings and small stores: typed values under string keys, kept in a JSON file
// ($XDG_CONFIG_HOME/Parloquin/defaults.json, else ~/.config/Parloquin/defaults.json).
//
// - A registration domain gives each key a value to read while none is stored; it lives in
//   memory only and is never written.
// - Every change rewrites the whole file through an AtomicFileWriter. A change whose write
//   fails (a full disk, a read-only folder) is still made in memory, where it stays unsaved:
//   the setter returns false, the failure is logged and handed to the save-problem handler
//   once, and every later write, and save(), writes all that is unsaved with it.
// - A file that cannot be read or understood is set aside under a name with a time stamp
//   (never deleted), the problem is logged and kept for the application to show. At
//   construction the store then starts empty; when the file was read again later, the values
//   in use stay and are written back to a new file at once. A single value of a type the store
//   does not know (an array, null) is only logged: it reads as nothing and stays in the file as
//   it was until its key is set or removed.
// - Observers of a key are called after each change of the value read for it, on the thread
//   that made the change, with no lock held. All functions may be called from any thread.
class UserDefaults {
public:
    using Value = std::variant<bool, std::int64_t, double, std::string, Data>;

    // What went wrong when the store file was read at construction.
    struct LoadProblem {
        std::string description;
        // Where the unreadable file now lies; empty when it could not be moved (the store then
        // refuses to write, so that the file is not overwritten).
        std::filesystem::path setAsidePath;
    };

    // Why the file does not hold what is in memory: the last write failed.
    struct SaveProblem {
        std::filesystem::path folder;  // the folder the file could not be written into
        long errorCode = 0;            // the errno of the failed step, 0 when it is not known
        std::string description;       // the platform's description of the failure
    };
    using SaveProblemHandler = std::function<void(const SaveProblem&)>;

    class Observation;
    using Observer = std::function<void(const std::string& key)>;

    // The process's store at the default path, created on first use.
    static UserDefaults& standard();
    // Parloquin/defaults.json in the user's configuration folder (FileManager).
    static std::filesystem::path defaultStorePath();

    explicit UserDefaults(std::filesystem::path storePath, std::unique_ptr<AtomicFileWriter> writer = nullptr);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::filesystem::path& storePath() const { return storePath_; }
    std::optional<LoadProblem> loadProblem() const;

    // Values read when a key holds nothing. Replaces earlier registrations of the same keys.
    void registerDefaults(const std::map<std::string, Value>& defaults);

    // The stored value, else the registered one, else nothing.
    std::optional<Value> object(const std::string& key) const;
    // Numbers convert among Bool, Int and Double (true is 1, a Double is truncated toward
    // zero and must fit); anything else, or nothing, reads as false, 0 or 0.0.
    bool boolForKey(const std::string& key) const;
    std::int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    // Nothing unless the key holds a value of that very type.
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<Data> dataForKey(const std::string& key) const;

    // Store a value (or remove the stored one) and write the file. True once the file holds
    // the change; false when the write failed: the change is then kept in memory, unsaved.
    // Keys and strings must be UTF-8; anything else throws std::invalid_argument.
    bool set(const std::string& key, Value value);
    bool setBool(const std::string& key, bool value) { return set(key, Value(value)); }
    bool setInteger(const std::string& key, std::int64_t value) { return set(key, Value(value)); }
    bool setDouble(const std::string& key, double value) { return set(key, Value(value)); }
    bool setString(const std::string& key, std::string value) { return set(key, Value(std::move(value))); }
    bool setData(const std::string& key, Data value) { return set(key, Value(std::move(value))); }
    bool removeObject(const std::string& key);

    // Reads the file again, for changes made to it by someone else while the store is open, and
    // calls the observers of every key whose value changed. A file that is gone changes nothing
    // (the next change writes the values back). A file that cannot be read or understood is set
    // aside as at construction (and kept as the load problem, which is returned); the values in
    // memory then stay as they were.
    std::optional<LoadProblem> synchronize();

    // Writes the values in memory when the file does not hold them all (a write failed, or the
    // file was set aside). True when the file holds them; nothing is written when it already does.
    bool save();
    bool hasUnsavedChanges() const;
    // The failure of the last write, until a write succeeds.
    std::optional<SaveProblem> saveProblem() const;
    // Called on the writing thread, with no lock held, when a write fails after one that
    // succeeded (or after the start): once per run of failures, not for each of them.
    void setSaveProblemHandler(SaveProblemHandler handler);

    // Calls the observer after every change of the value read for the key, until the
    // returned observation is cancelled or destroyed. Once cancel() returns, no call is
    // running on another thread and none will start.
    [[nodiscard]] Observation observe(const std::string& key, Observer observer);

private:
    struct ObserverEntry;

    bool write(const std::string& key, std::optional<Value> value);
    // Writes the values in memory into the file (writeMutex_ held, stateMutex_ not). On failure
    // the problem to hand to the handler, when it is the first of a run, goes to `report`.
    bool writeFile(std::optional<SaveProblem>& report);
    void reportSaveProblem(const std::optional<SaveProblem>& report);
    std::optional<Value> effectiveValue(const std::string& key) const;  // stateMutex_ held
    void notify(const std::string& key);
    void load();
    // The file's values; false with the reason when they cannot be used.
    // Values of no known type go to `unknown` as JSON text; only an unreadable file is a problem.
    bool readStoreFile(std::map<std::string, Value>& values, std::map<std::string, std::string>& unknown,
                       std::string& problem);
    void setAside(const std::string& reason, bool atLoad);  // stateMutex_ held

    std::filesystem::path storePath_;
    std::unique_ptr<AtomicFileWriter> writer_;
    Logger logger_;

    std::mutex writeMutex_;          // one write at a time, in order
    // Which file the values were last read from or written to (device, inode, size, change
    // time): a synchronize that finds the same file has nothing to read. Guarded by writeMutex_.
    std::optional<std::array<long long, 5>> fileStamp_;
    mutable std::mutex stateMutex_;  // guards the fields below
    std::map<std::string, Value> values_;
    std::map<std::string, std::string> unknown_;  // values of no known type, as the file held them
    std::map<std::string, Value> registered_;
    std::optional<LoadProblem> loadProblem_;
    bool writable_ = true;
    // Keys changed in memory since the file last held the values, and whether anything at all is
    // unsaved (also without a key: the file was set aside).
    std::set<std::string> unsavedKeys_;
    bool unsaved_ = false;
    std::optional<SaveProblem> saveProblem_;

    std::mutex handlerMutex_;
    SaveProblemHandler saveProblemHandler_;

    std::mutex observersMutex_;
    std::multimap<std::string, std::shared_ptr<ObserverEntry>> observers_;
};

class UserDefaults::Observation {
public:
    Observation() = default;
    ~Observation() { cancel(); }
    Observation(Observation&&) noexcept = default;
    Observation& operator=(Observation&& other) noexcept;
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;

    void cancel();

private:
    friend class UserDefaults;
    explicit Observation(std::shared_ptr<ObserverEntry> entry) : entry_(std::move(entry)) {}
    std::shared_ptr<ObserverEntry> entry_;
};

}  // namespace platform

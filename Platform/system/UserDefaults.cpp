#include "Platform/system/UserDefaults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <system_error>

#include "Platform/system/Base64.h"
#include "Platform/system/FileManager.h"
#include "Platform/system/NSError.h"
#include "Platform/system/UserDefaultsFile.h"

namespace platform {

using namespace user_defaults_file;

struct UserDefaults::ObserverEntry {
    Observer observer;
    std::recursive_mutex callMutex;  // held while the observer runs; cancel() waits on it
    std::atomic<bool> active{true};
};

UserDefaults::Observation& UserDefaults::Observation::operator=(Observation&& other) noexcept {
    if (this != &other) {
        cancel();
        entry_ = std::move(other.entry_);
    }
    return *this;
}

void UserDefaults::Observation::cancel() {
    if (!entry_) return;
    {
        std::lock_guard lock(entry_->callMutex);
        entry_->active = false;
    }
    entry_.reset();
}

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults(defaultStorePath());
    return defaults;
}

std::filesystem::path UserDefaults::defaultStorePath() {
    std::filesystem::path base;
    try {
        base = FileManager::configurationDirectory();
    } catch (const NSError&) {
        base = ".config";  // no home folder at all: the working folder's
    }
    return base / "Parloquin" / "defaults.json";
}

UserDefaults::UserDefaults(std::filesystem::path storePath, std::unique_ptr<AtomicFileWriter> writer)
    : storePath_(std::move(storePath)),
      writer_(writer ? std::move(writer) : std::make_unique<AtomicFileWriter>()),
      logger_("com.parloquin", "UserDefaults") {
    load();
}

UserDefaults::~UserDefaults() = default;

void UserDefaults::load() {
    std::map<std::string, Value> values;
    std::map<std::string, std::string> unknown;
    std::string problem;
    std::lock_guard lock(stateMutex_);
    if (!readStoreFile(values, unknown, problem)) return setAside(problem, true);
    values_ = std::move(values);
    unknown_ = std::move(unknown);
}

bool UserDefaults::readStoreFile(std::map<std::string, Value>& values, std::map<std::string, std::string>& unknown,
                                 std::string& problem) {
    int error = 0;
    const auto contents = readFile(storePath_, error, fileStamp_);
    if (!contents) {
        if (error == ENOENT) return true;
        problem = std::string("it cannot be read: ") + std::strerror(error);
        return false;
    }
    if (contents->size() > maxFileSize) {
        problem = "it is larger than " + std::to_string(maxFileSize >> 20) + " MB";
        return false;
    }
    if (nestsTooDeep(*contents)) {
        problem = "it nests values deeper than " + std::to_string(maxNestingDepth) + " levels";
        return false;
    }
    const auto json = nlohmann::json::parse(*contents, nullptr, false);
    if (json.is_discarded()) {
        problem = "it is not valid JSON";
        return false;
    }
    if (!json.is_object()) {
        problem = "it does not hold a JSON object";
        return false;
    }
    for (const auto& [key, item] : json.items()) {
        if (auto value = decodeValue(item)) {
            values.emplace(key, std::move(*value));
            continue;
        }
        // One odd value does not cost the others: it is left where it is, unread.
        logger_.log(OSLogType::error, "The value of \"" + key + "\" in " + storePath_.string() +
                                          " has no known type; it stays in the file but is not used");
        unknown.emplace(key, item.dump());
    }
    return true;
}

std::optional<UserDefaults::LoadProblem> UserDefaults::synchronize() {
    std::vector<std::string> changed;
    std::optional<LoadProblem> problem;
    std::optional<SaveProblem> report;
    {
        std::lock_guard writeLock(writeMutex_);
        // Our own last write, or nothing new: the values in memory are the file's. A file that
        // is gone takes nothing with it; the next change writes the values back.
        const auto stamp = currentStamp(storePath_);
        if (!stamp || stamp == fileStamp_) return std::nullopt;
        std::map<std::string, Value> values;
        std::map<std::string, std::string> unknown;
        std::string reason;
        const bool readable = readStoreFile(values, unknown, reason);
        bool writeBack = false;
        {
            std::lock_guard lock(stateMutex_);
            if (!readable) {
                setAside(reason, false);
                problem = loadProblem_;
                if (!loadProblem_->setAsidePath.empty()) {
                    // The values in use are all there is now: they go into a new file at once.
                    fileStamp_.reset();
                    unsaved_ = true;
                    writeBack = true;
                }
            } else {
                // What could not be saved yet is newer than anything in the file.
                for (const auto& key : unsavedKeys_) {
                    values.erase(key);
                    unknown.erase(key);
                    if (auto it = values_.find(key); it != values_.end()) values.insert_or_assign(key, it->second);
                    if (auto it = unknown_.find(key); it != unknown_.end()) unknown.insert_or_assign(key, it->second);
                }
                // After a set-aside, the file that came since is the one to go by.
                writeBack = !unsavedKeys_.empty();
                unsaved_ = writeBack;
                auto noteChange = [&](const std::string& key) {
                    const auto before = effectiveValue(key);
                    const auto it = values.find(key);
                    const auto after = it != values.end() ? std::optional<Value>(it->second)
                                       : registered_.count(key) ? std::optional<Value>(registered_.at(key))
                                                                : std::nullopt;
                    if (!sameValue(before, after)) changed.push_back(key);
                };
                for (const auto& [key, value] : values_) noteChange(key);
                for (const auto& [key, value] : values)
                    if (!values_.count(key)) noteChange(key);
                values_ = std::move(values);
                unknown_ = std::move(unknown);
            }
        }
        if (writeBack) writeFile(report);
    }
    reportSaveProblem(report);
    for (const auto& key : changed) notify(key);
    return problem;
}

void UserDefaults::setAside(const std::string& reason, bool atLoad) {
    std::filesystem::path target;
    try {
        target = FileManager::moveAside(storePath_);
    } catch (const NSError& error) {
        logger_.log(OSLogType::error, error.localizedDescription());
    }
    std::string description = "The settings file " + storePath_.string() + " was not used because " + reason + ".";
    if (target.empty()) {
        writable_ = false;
        description += " It could not be moved aside either, so no setting will be saved in this session.";
        logger_.log(OSLogType::fault, description);
    } else {
        description += " It was kept as " + target.string() +
                       (atLoad ? "; the settings start empty." : "; the settings in use stay as they were and are saved anew.");
        logger_.log(OSLogType::error, description);
    }
    loadProblem_ = LoadProblem{description, target};
}

std::optional<UserDefaults::LoadProblem> UserDefaults::loadProblem() const {
    std::lock_guard lock(stateMutex_);
    return loadProblem_;
}

void UserDefaults::registerDefaults(const std::map<std::string, Value>& defaults) {
    std::vector<std::string> changed;
    {
        std::lock_guard lock(stateMutex_);
        for (const auto& [key, value] : defaults) {
            const auto before = effectiveValue(key);
            registered_[key] = value;
            if (!sameValue(before, effectiveValue(key))) changed.push_back(key);
        }
    }
    for (const auto& key : changed) notify(key);
}

std::optional<UserDefaults::Value> UserDefaults::effectiveValue(const std::string& key) const {
    if (auto it = values_.find(key); it != values_.end()) return it->second;
    if (auto it = registered_.find(key); it != registered_.end()) return it->second;
    return std::nullopt;
}

std::optional<UserDefaults::Value> UserDefaults::object(const std::string& key) const {
    std::lock_guard lock(stateMutex_);
    return effectiveValue(key);
}

bool UserDefaults::boolForKey(const std::string& key) const {
    const auto value = object(key);
    if (!value) return false;
    if (auto* b = std::get_if<bool>(&*value)) return *b;
    if (auto* i = std::get_if<std::int64_t>(&*value)) return *i != 0;
    if (auto* d = std::get_if<double>(&*value)) return *d != 0.0 && !std::isnan(*d);
    return false;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const {
    const auto value = object(key);
    if (!value) return 0;
    if (auto* i = std::get_if<std::int64_t>(&*value)) return *i;
    if (auto* b = std::get_if<bool>(&*value)) return *b ? 1 : 0;
    if (auto* d = std::get_if<double>(&*value)) {
        const double t = std::trunc(*d);
        // Only values that fit: 2^63 itself does not.
        if (std::isfinite(t) && t >= -9223372036854775808.0 && t < 9223372036854775808.0) {
            return static_cast<std::int64_t>(t);
        }
    }
    return 0;
}

double UserDefaults::doubleForKey(const std::string& key) const {
    const auto value = object(key);
    if (!value) return 0.0;
    if (auto* d = std::get_if<double>(&*value)) return *d;
    if (auto* i = std::get_if<std::int64_t>(&*value)) return static_cast<double>(*i);
    if (auto* b = std::get_if<bool>(&*value)) return *b ? 1.0 : 0.0;
    return 0.0;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    auto value = object(key);
    if (auto* s = value ? std::get_if<std::string>(&*value) : nullptr) return std::move(*s);
    return std::nullopt;
}

std::optional<Data> UserDefaults::dataForKey(const std::string& key) const {
    auto value = object(key);
    if (auto* d = value ? std::get_if<Data>(&*value) : nullptr) return std::move(*d);
    return std::nullopt;
}

bool UserDefaults::set(const std::string& key, Value value) {
    if (auto* s = std::get_if<std::string>(&value)) requireUTF8(*s, "string");
    return write(key, std::move(value));
}

bool UserDefaults::removeObject(const std::string& key) { return write(key, std::nullopt); }

bool UserDefaults::write(const std::string& key, std::optional<Value> value) {
    requireUTF8(key, "key");
    std::unique_lock writeLock(writeMutex_);
    bool changed = false;
    {
        std::lock_guard lock(stateMutex_);
        const auto it = values_.find(key);
        const auto stored = it == values_.end() ? std::nullopt : std::optional<Value>(it->second);
        // Nothing new, but what is unsaved is tried again.
        if (sameValue(stored, value) && unknown_.count(key) == 0 && !unsaved_) return true;
        const auto before = effectiveValue(key);
        unknown_.erase(key);  // a value set or removed replaces one of no known type
        if (value) {
            values_.insert_or_assign(key, std::move(*value));
        } else {
            values_.erase(key);
        }
        unsavedKeys_.insert(key);
        unsaved_ = true;
        changed = !sameValue(before, effectiveValue(key));
    }
    std::optional<SaveProblem> report;
    const bool saved = writeFile(report);
    if (!saved) logger_.log(OSLogType::error, "\"" + key + "\" is kept in memory but not saved yet");
    writeLock.unlock();
    reportSaveProblem(report);
    if (changed) notify(key);
    return saved;
}

bool UserDefaults::writeFile(std::optional<SaveProblem>& report) {
    std::string contents;
    {
        std::lock_guard lock(stateMutex_);
        if (!writable_) {
            logger_.log(OSLogType::error, "Not saving the settings: the unreadable settings file could not be set aside");
            return false;
        }
        contents = serialize(values_, unknown_);
    }
    try {
        writer_->replace(storePath_, contents);
        fileStamp_ = currentStamp(storePath_);
    } catch (const NSError& error) {
        logger_.log(OSLogType::error, "Could not save the settings: " + error.localizedDescription());
        std::lock_guard lock(stateMutex_);
        const bool first = !saveProblem_;
        saveProblem_ = SaveProblem{storePath_.parent_path(),
                                   error.domain() == "NSPOSIXErrorDomain" ? error.code() : 0,
                                   error.localizedDescription()};
        if (first) report = saveProblem_;
        return false;
    }
    std::lock_guard lock(stateMutex_);
    if (saveProblem_) logger_.log(OSLogType::info, "The settings are saved again in " + storePath_.string());
    unsavedKeys_.clear();
    unsaved_ = false;
    saveProblem_.reset();
    return true;
}

void UserDefaults::reportSaveProblem(const std::optional<SaveProblem>& report) {
    if (!report) return;
    SaveProblemHandler handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = saveProblemHandler_;
    }
    if (!handler) return;
    try {
        handler(*report);
    } catch (const std::exception& error) {
        logger_.log(OSLogType::error, std::string("The save-problem handler failed: ") + error.what());
    }
}

bool UserDefaults::save() {
    std::unique_lock writeLock(writeMutex_);
    {
        std::lock_guard lock(stateMutex_);
        if (!unsaved_) return true;
    }
    std::optional<SaveProblem> report;
    const bool saved = writeFile(report);
    writeLock.unlock();
    reportSaveProblem(report);
    return saved;
}

bool UserDefaults::hasUnsavedChanges() const {
    std::lock_guard lock(stateMutex_);
    return unsaved_;
}

std::optional<UserDefaults::SaveProblem> UserDefaults::saveProblem() const {
    std::lock_guard lock(stateMutex_);
    return saveProblem_;
}

void UserDefaults::setSaveProblemHandler(SaveProblemHandler handler) {
    std::lock_guard lock(handlerMutex_);
    saveProblemHandler_ = std::move(handler);
}

UserDefaults::Observation UserDefaults::observe(const std::string& key, Observer observer) {
    auto entry = std::make_shared<ObserverEntry>();
    entry->observer = std::move(observer);
    std::lock_guard lock(observersMutex_);
    observers_.emplace(key, entry);
    return Observation(std::move(entry));
}

void UserDefaults::notify(const std::string& key) {
    std::vector<std::shared_ptr<ObserverEntry>> entries;
    {
        std::lock_guard lock(observersMutex_);
        auto [first, last] = observers_.equal_range(key);
        for (auto it = first; it != last;) {
            // An entry whose observation was cancelled is dropped here.
            if (it->second->active) {
                entries.push_back(it->second);
                ++it;
            } else {
                it = observers_.erase(it);
            }
        }
    }
    for (const auto& entry : entries) {
        std::lock_guard lock(entry->callMutex);
        if (!entry->active) continue;
        try {
            entry->observer(key);
        } catch (const std::exception& error) {
            logger_.log(OSLogType::error, "An observer of \"" + key + "\" failed: " + error.what());
        }
    }
}

}  // namespace platform

#include "Parloquin/services/HistoryManager.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "Parloquin/services/BackupCorruptedData.h"
#include "Platform/system/ISO8601DateFormatter.h"
#include "Platform/text/NumberFormat.h"
#include "Platform/text/StringSearch.h"

namespace parloquin {
namespace {

// The records as a JSON array; throws json_coding::EncodingError.
nlohmann::json encodeRecords(const std::vector<TranscriptionRecord>& records, json_coding::DateEncoding encoding) {
    nlohmann::json array = nlohmann::json::array();
    for (const auto& record : records) array.push_back(record.encode(encoding));
    return array;
}

std::string quotedCSVField(const std::string& text) {
    std::string field = "\"";
    for (const char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    field += '"';
    return field;
}

}  // namespace

HistoryManager::HistoryManager(platform::UserDefaults& defaults, std::shared_ptr<const platform::Clock> clock,
                               QObject* parent)
    : QObject(parent), writer_(defaults, "TranscriptionHistory", "HistoryManager"), clock_(std::move(clock)) {
    loadHistory();
}

void HistoryManager::setRecords(std::vector<TranscriptionRecord> records) {
    records_ = std::move(records);
    emit recordsChanged();
}

void HistoryManager::addRecord(TranscriptionRecord record) {
    std::vector<TranscriptionRecord> next;
    next.reserve(std::min(records_.size() + 1, maximumRecords));
    next.push_back(std::move(record));
    for (const auto& existing : records_) {
        if (next.size() == maximumRecords) break;
        next.push_back(existing);
    }
    setRecords(std::move(next));
    writer_.save(encodeForStorage());
}

std::optional<TranscriptionRecord> HistoryManager::findRecord(const platform::UUID& id) const {
    const auto it = std::find_if(records_.begin(), records_.end(), [&](const auto& r) { return r.id == id; });
    if (it == records_.end()) return std::nullopt;
    return *it;
}

void HistoryManager::deleteRecord(const platform::UUID& id) {
    std::vector<TranscriptionRecord> next;
    next.reserve(records_.size());
    std::copy_if(records_.begin(), records_.end(), std::back_inserter(next), [&](const auto& r) { return r.id != id; });
    setRecords(std::move(next));
    writer_.save(encodeForStorage());
}

std::vector<TranscriptionRecord> HistoryManager::searchRecords(std::string_view query) const {
    if (query.empty()) return records_;
    const std::string needle = platform::lowercased(query);
    std::vector<TranscriptionRecord> found;
    for (const auto& record : records_) {
        if (platform::containsCanonically(platform::lowercased(record.text), needle)) found.push_back(record);
    }
    return found;
}

void HistoryManager::loadHistory() {
    const auto data = writer_.defaults().dataForKey(storageKey());
    if (!data) return;
    std::vector<TranscriptionRecord> records;
    std::size_t skipped = 0;
    try {
        const auto json = nlohmann::json::parse(data->begin(), data->end());
        if (!json.is_array()) throw json_coding::DecodingError("The stored history is not a JSON array");
        records.reserve(json.size());
        for (std::size_t i = 0; i < json.size(); ++i) {
            try {
                records.push_back(TranscriptionRecord::decode(json[i]));
            } catch (const std::exception& error) {  // one record that is not a record
                ++skipped;
                writer_.logger().log(platform::OSLogType::error, "Stored history record " + std::to_string(i) +
                                                                     " did not decode and is left out: " + error.what());
            }
        }
    } catch (const std::exception&) {  // not JSON, or not a list
        backupCorruptedData(writer_.defaults(), *data, "history", clock_->now());
        setRecords({});
        return;
    }
    // The rest is kept; the stored bytes, with what did not decode, are kept aside.
    if (skipped > 0) backupCorruptedData(writer_.defaults(), *data, "history", clock_->now());
    setRecords(std::move(records));
}

platform::Data HistoryManager::encodeForStorage() {
    std::string text = "[";
    for (const auto& record : records_) {
        if (unencodable_.count(record.id) != 0) continue;
        try {
            const std::string item =
                record.encode(json_coding::DateEncoding::secondsSinceReferenceDate).dump();
            if (text.size() > 1) text += ',';
            text += item;
        } catch (const std::exception& error) {  // a number JSON cannot hold, or text that is not UTF-8
            unencodable_.insert(record.id);
            writer_.logger().log(platform::OSLogType::error, "The record " + record.id.uuidString() +
                                                                 " cannot be stored and is left out: " + error.what());
        }
    }
    text += ']';
    return platform::Data(text.begin(), text.end());
}

bool HistoryManager::saveHistory() { return writer_.saveAndWait(encodeForStorage()); }

void HistoryManager::flush() const { writer_.flush(); }

std::optional<std::string> HistoryManager::exportJSON() const {
    try {
        return encodeRecords(records_, json_coding::DateEncoding::iso8601).dump(2);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string HistoryManager::exportCSV() const {
    std::string csv = "Timestamp,Text,Duration,Characters,Words,Language,RTF,Inference Time\n";
    for (const auto& record : records_) {
        csv += platform::ISO8601DateFormatter::string(record.timestamp).value_or("");
        csv += ',';
        csv += quotedCSVField(record.text);
        csv += ',';
        csv += platform::formatShortest(record.duration);
        csv += ',';
        csv += std::to_string(record.charCount);
        csv += ',';
        csv += std::to_string(record.wordCount);
        csv += ',';
        csv += record.language.value_or("");
        csv += ',';
        if (record.rtf) csv += platform::formatFixed(*record.rtf, 4);
        csv += ',';
        if (record.inferenceTime) csv += platform::formatFixed(*record.inferenceTime, 2);
        csv += '\n';
    }
    return csv;
}

}  // namespace parloquin

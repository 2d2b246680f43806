#include "Parloquin/services/StoredValueWriter.h"

#include <chrono>
#include <thread>

namespace parloquin {

StoredValueWriter::StoredValueWriter(platform::UserDefaults& defaults, std::string key, std::string category)
    : defaults_(defaults), key_(std::move(key)), logger_("com.parloquin", std::move(category)) {}

bool StoredValueWriter::save(const Encoder& encode) const {
    for (int attempt = 1; attempt <= maximumAttempts; ++attempt) {
        if (const auto bytes = encode()) {
            defaults_.setData(key_, *bytes);
            if (defaults_.dataForKey(key_) == bytes) return true;
        }
        if (attempt < maximumAttempts) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    logger_.log(platform::OSLogType::error,
                "Could not save \"" + key_ + "\" after " + std::to_string(maximumAttempts) + " attempts");
    return false;
}

}  // namespace parloquin

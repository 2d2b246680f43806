#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Platform/log/Logger.h"
#include "Platform/system/Data.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// How the stores write their one value to the user defaults: encode, store, read the key back
// and compare it with what was written; up to three attempts, the calling thread paused 0.1 s
// after a failed one. Giving up is logged and otherwise silent.
class StoredValueWriter {
public:
    using Encoder = std::function<std::optional<platform::Data>()>;

    static constexpr int maximumAttempts = 3;

    StoredValueWriter(platform::UserDefaults& defaults, std::string key, std::string category);

    // True when the stored value now reads back as the encoded bytes.
    bool save(const Encoder& encode) const;

    platform::UserDefaults& defaults() const { return defaults_; }
    const std::string& key() const { return key_; }

private:
    platform::UserDefaults& defaults_;
    std::string key_;
    platform::Logger logger_;
};

}  // namespace parloquin

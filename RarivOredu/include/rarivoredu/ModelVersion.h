#pragma once

namespace rarivoredu::api {

// The speech recognition model versions: v2 for English, v3 for 25 European languages.
enum class ModelVersion { v2, v3 };

}  // namespace rarivoredu::api

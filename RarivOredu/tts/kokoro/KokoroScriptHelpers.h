#pragma once

namespace rarivoredu {

// The layer functions the generated forward of a Kokoro bundle calls (TorchScript methods).
extern const char* const kokoroScriptHelpers;

}  // namespace rarivoredu

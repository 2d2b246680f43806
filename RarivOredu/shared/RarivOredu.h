#pragma once

namespace rarivoredu {

// The library's own name as a type. It has no members.
struct RarivOredu {};

}  // namespace rarivoredu

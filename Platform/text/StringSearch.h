#pragma once

#include <string>
#include <string_view>

namespace platform {

// Unicode lower-casing with the root locale's rules ("Ä" → "ä", "ΣΑΣ" → "σας").
// Ill-formed UTF-8 sequences become U+FFFD.
std::string lowercased(std::string_view text);

// Whether the text contains the query, comparing canonically equivalent sequences as equal
// (a precomposed "ä" matches "a" followed by a combining diaeresis) and nothing else: no
// case, accent or width folding, and a match never ends inside a character, so "a" is not
// found in "ä". The empty query is found in every text.
bool containsCanonically(std::string_view text, std::string_view query);

}  // namespace platform

#include "Parloquin/views/LanguageBar.h"

#include "Platform/text/NumberFormat.h"

namespace parloquin {

std::string LanguageBar::shareText() const {
    return platform::formatFixed(percentage, 1) + "% (" + std::to_string(count) + ")";
}

}  // namespace parloquin

#include "RarivOredu/cli/ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rarivoredu::cli {

ProgressBar::ProgressBar(std::ostream& stream, bool enabled) : stream_(stream), enabled_(enabled) {}

ProgressBar::~ProgressBar() { finish(); }

std::string ProgressBar::timeLeft(double fraction, double secondsSpent) {
    if (!(fraction > 0.01) || fraction >= 1 || !(secondsSpent > 0.5)) return {};
    const auto left = static_cast<long>(std::lround(secondsSpent * (1 - fraction) / fraction));
    char text[32];
    if (left >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", left / 3600, left / 60 % 60, left % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", left / 60, left % 60);
    }
    return text;
}

void ProgressBar::update(double fraction, const std::string& label) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (!running_) {
        running_ = true;
        started_ = now;
    } else if (label == label_ && fraction < 1 && now - lastDrawn_ < std::chrono::milliseconds(100)) {
        return;
    }
    label_ = label;
    lastDrawn_ = now;
    fraction = std::clamp(std::isfinite(fraction) ? fraction : 0.0, 0.0, 1.0);
    constexpr int width = 30;
    const int filled = static_cast<int>(fraction * width);
    std::string line = "\r[" + std::string(filled, '#') + std::string(width - filled, '.') + "] ";
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d %%", static_cast<int>(fraction * 100));
    line += percent;
    line += "  " + label;
    const std::string left = timeLeft(fraction, std::chrono::duration<double>(now - started_).count());
    if (!left.empty()) line += "  " + left + " left";
    stream_ << line << "\x1b[K" << std::flush;
    drawn_ = true;
}

void ProgressBar::clear() {
    if (!drawn_) return;
    stream_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

void ProgressBar::finish() {
    clear();
    running_ = false;
}

}  // namespace rarivoredu::cli

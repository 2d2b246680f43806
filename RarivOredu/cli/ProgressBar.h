#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace rarivoredu::cli {

// A one-line bar on a terminal: "[#####.....]  42 %  Transcribing a.wav  0:12 left". Drawn only
// when enabled (standard error is a terminal), at most ten times a second.
class ProgressBar {
public:
    using Clock = std::chrono::steady_clock;

    ProgressBar(std::ostream& stream, bool enabled);
    ~ProgressBar();

    // The fraction is of the whole work, which the first update after finish() starts; the
    // label names what is being worked on.
    void update(double fraction, const std::string& label);
    // Clears the line, for output between updates of the same work.
    void clear();
    // Clears the line; the next update starts a new piece of work.
    void finish();

    // "1:05 left" from the time spent and the fraction done; empty before there is an estimate.
    static std::string timeLeft(double fraction, double secondsSpent);

private:
    std::ostream& stream_;
    bool enabled_;
    bool drawn_ = false;
    bool running_ = false;
    std::string label_;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};

}  // namespace rarivoredu::cli

#pragma once

namespace rarivoredu {

// Seconds of audio per second of processing. A processing time that is zero, negative or not
// finite cannot give a factor (an operation finished within the clock's resolution): the
// factor is then 0, meaning "not measured", never an infinity or a NaN.
float realTimeFactor(double audioSeconds, double processingSeconds) noexcept;

// A stored factor made safe to show or average: 0 when it is not finite.
float finiteRealTimeFactor(float factor) noexcept;

}  // namespace rarivoredu

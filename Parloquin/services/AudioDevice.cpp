#include "Parloquin/services/AudioDevice.h"

#include <functional>

std::size_t std::hash<parloquin::AudioDevice>::operator()(const parloquin::AudioDevice& device) const noexcept {
    std::size_t seed = 0;
    auto combine = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    combine(std::hash<std::uint32_t>()(device.id));
    combine(std::hash<std::string>()(device.name));
    combine(std::hash<std::string>()(device.manufacturer));
    combine(std::hash<bool>()(device.isDefault));
    combine(std::hash<std::string>()(device.uid));
    return seed;
}

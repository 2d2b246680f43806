#pragma once

#include <exception>
#include <string>

namespace platform {

// What an error says of itself: what() of a std::exception, else `fallback` (also for no error).
std::string errorDescription(const std::exception_ptr& error, const std::string& fallback = "unknown error");

}  // namespace platform

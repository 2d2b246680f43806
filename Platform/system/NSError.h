#pragma once

#include <exception>
#include <string>

namespace platform {

// A failure of the platform layer: an error domain, a numeric code and a readable description.
// Library code passes these on unchanged; what() is the description.
class NSError : public std::exception {
public:
    NSError(std::string domain, long code, std::string localizedDescription);

    const std::string& domain() const noexcept { return domain_; }
    long code() const noexcept { return code_; }
    const std::string& localizedDescription() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::string domain_;
    long code_;
    std::string description_;
};

}  // namespace platform

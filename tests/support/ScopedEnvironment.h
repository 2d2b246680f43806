#pragma once

#include <map>
#include <optional>
#include <string>

namespace testsupport {

// Sets and unsets environment variables for its lifetime, then puts the old values back.
// Change the environment only while no other thread of the test reads it.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const std::string& name, const std::string& value);
    void unset(const std::string& name);

private:
    void remember(const std::string& name);

    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace testsupport

#pragma once

#include <string_view>

namespace platform {

// What a stored value was expected to be when it failed to read.
enum class JSONExpectation {
    number,
    integer,
    integerOutOfRange,  // an integer beyond 64 signed bits
    string,
    uuid,
    array,
    arrayOfNumbers,
};

// How one kind of store reads its records with JSONReader: whether a null member counts as
// missing, which integral floating-point numbers read as integers ([integralLow, integralHigh)),
// and how each failure is raised. The raisers must throw (JSONReader ends the process should one
// return); their texts and error kinds are the caller's own, so each store keeps the texts its
// users and tests know.
struct JSONReadPolicy {
    bool nullIsMissing;
    double integralLow;
    double integralHigh;
    void (*notObject)(std::string_view record);
    void (*missing)(std::string_view record, const char* key);
    void (*wrongKind)(std::string_view record, const char* key, JSONExpectation expected);
};

}  // namespace platform

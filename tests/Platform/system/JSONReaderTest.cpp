#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "Platform/system/JSONReader.h"

namespace platform {
namespace {

// A failure as the policy reported it: "missing:key", "kind:key:<expectation>", "object:record".
struct Failure {
    std::string what;
};

[[noreturn]] void notObject(std::string_view record) { throw Failure{"object:" + std::string(record)}; }
[[noreturn]] void missing(std::string_view, const char* key) { throw Failure{std::string("missing:") + key}; }
[[noreturn]] void wrongKind(std::string_view, const char* key, JSONExpectation expected) {
    throw Failure{std::string("kind:") + key + ":" + std::to_string(static_cast<int>(expected))};
}

const JSONReadPolicy nullIsMissing{true, -9223372036854775808.0, 9223372036854775808.0, notObject, missing,
                                   wrongKind};
const JSONReadPolicy nullIsValue{false, -1000.0, 1000.0, notObject, missing, wrongKind};

template <class Read>
std::string failureOf(Read read) {
    try {
        read();
    } catch (const Failure& failure) {
        return failure.what;
    }
    return "read";
}

TEST(JSONReaderTest, ThePolicySaysWhetherNullIsMissingAndWhichFloatsAreIntegers) {
    const auto json = nlohmann::ordered_json::parse(
        R"({"n": null, "big": 18446744073709551615, "edge": 1000.0, "in": -1000.0, "half": 2.5, "s": "x"})");
    const JSONReader<nlohmann::ordered_json> strict(json, "record", nullIsMissing);
    const JSONReader<nlohmann::ordered_json> loose(json, "record", nullIsValue);
    const auto kind = [](const char* key, JSONExpectation expected) {
        return std::string("kind:") + key + ":" + std::to_string(static_cast<int>(expected));
    };

    EXPECT_EQ(failureOf([&] { (void)strict.number("n"); }), "missing:n");
    EXPECT_EQ(strict.optionalMember("n"), nullptr);
    EXPECT_EQ(failureOf([&] { (void)loose.number("n"); }), kind("n", JSONExpectation::number));
    EXPECT_NE(loose.optionalMember("n"), nullptr);
    EXPECT_EQ(failureOf([&] { (void)loose.number("absent"); }), "missing:absent");

    EXPECT_EQ(failureOf([&] { (void)strict.integer("big"); }), kind("big", JSONExpectation::integerOutOfRange));
    EXPECT_EQ(strict.integer("edge"), 1000);
    EXPECT_EQ(failureOf([&] { (void)loose.integer("edge"); }), kind("edge", JSONExpectation::integer));
    EXPECT_EQ(loose.integer("in"), -1000);
    EXPECT_EQ(failureOf([&] { (void)strict.integer("half"); }), kind("half", JSONExpectation::integer));
    EXPECT_EQ(failureOf([&] { (void)strict.integer("s"); }), kind("s", JSONExpectation::integer));
    EXPECT_EQ(failureOf([&] { (void)strict.uuid("s"); }), kind("s", JSONExpectation::uuid));
    EXPECT_EQ(failureOf([&] { (void)strict.floats("s"); }), kind("s", JSONExpectation::arrayOfNumbers));

    const auto list = nlohmann::json::array();
    EXPECT_EQ(failureOf([&] { JSONReader<nlohmann::json> reader(list, "the list", nullIsMissing); }),
              "object:the list");
}

}  // namespace
}  // namespace platform

#include "tests/RarivOredu/asr/parakeet/ReferenceOutputs.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

ReferenceOutputs::ReferenceOutputs(const std::filesystem::path& folder)
    : json_(nlohmann::json::parse(readFile(folder / "expected.json"))), bytes_(readFile(folder / "expected.f32")) {}

const nlohmann::json& ReferenceOutputs::entry(const std::string& name) const {
    const auto& arrays = json_.at("arrays");
    if (!arrays.contains(name)) throw std::runtime_error("no reference array " + name);
    return arrays.at(name);
}

platform::MLMultiArray::Shape ReferenceOutputs::shape(const std::string& name) const {
    return entry(name).at("shape").get<platform::MLMultiArray::Shape>();
}

std::vector<float> ReferenceOutputs::floats(const std::string& name) const {
    const auto& e = entry(name);
    if (e.at("dtype") != "float32") throw std::runtime_error(name + " is not float32");
    std::vector<float> values(e.at("nbytes").get<std::size_t>() / sizeof(float));
    std::memcpy(values.data(), bytes_.data() + e.at("offset").get<std::size_t>(), values.size() * sizeof(float));
    return values;
}

std::vector<int> ReferenceOutputs::ints(const std::string& name) const {
    const auto& e = entry(name);
    if (e.at("dtype") != "int32") throw std::runtime_error(name + " is not int32");
    std::vector<std::int32_t> values(e.at("nbytes").get<std::size_t>() / sizeof(std::int32_t));
    std::memcpy(values.data(), bytes_.data() + e.at("offset").get<std::size_t>(), values.size() * sizeof(std::int32_t));
    return {values.begin(), values.end()};
}

platform::MLMultiArrayPtr ReferenceOutputs::array(const std::string& name) const {
    const bool integer = entry(name).at("dtype") == "int32";
    auto array = platform::MLMultiArray::create(shape(name), integer ? platform::MLMultiArrayDataType::int32
                                                                     : platform::MLMultiArrayDataType::float32);
    const auto& e = entry(name);
    std::memcpy(array->dataPointer(), bytes_.data() + e.at("offset").get<std::size_t>(),
                e.at("nbytes").get<std::size_t>());
    return array;
}

}  // namespace testsupport

// torch.save checkpoints: the pickle (every opcode the reader knows, torch's rebuild functions,
// persistent ids) and the tensors it makes of the storages, converted to floats or integers.
// Input: the pickle, then each storage's bytes, cut by the separator.
#include <cstddef>
#include <cstdint>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/TorchZip.h"

using namespace rarivoredu;

namespace {

// Looks at every value the way importers do, depth first, a bounded number of them.
void walk(const PickleValue& value, int depth, int& budget) {
    if (depth > 8 || --budget < 0) return;
    switch (value.type()) {
        case PickleValue::Type::dict:
        case PickleValue::Type::object:
            for (const auto& [key, item] : value.dictItems()) {
                walk(key, depth + 1, budget);
                walk(item, depth + 1, budget);
            }
            if (value.type() == PickleValue::Type::object) {
                walk(value.arguments(), depth + 1, budget);
                (void)value.className();
            }
            break;
        case PickleValue::Type::list:
        case PickleValue::Type::tuple:
        case PickleValue::Type::set:
        case PickleValue::Type::frozenset:
            for (const auto& item : value.items()) walk(item, depth + 1, budget);
            break;
        case PickleValue::Type::string: (void)value.asString().size(); break;
        case PickleValue::Type::integer: (void)value.asInt(); break;
        case PickleValue::Type::floating: (void)value.asDouble(); break;
        default: break;
    }
    walk(value.state(), depth + 1, budget);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzsupport::MemoryFile file;
    try {
        const auto checkpoint = TorchCheckpoint::open(file.write(fuzzsupport::torchZip(fuzzsupport::split(data, size, 17))));
        int budget = 4096;
        walk(checkpoint.top(), 0, budget);
        for (const auto& [name, tensor] : checkpoint.tensors()) {
            if (checkpoint.find(name) != &tensor) __builtin_trap();
            try {
                (void)tensor.numel();
                if (tensor.dtype == TensorRecord::DType::float32 || tensor.dtype == TensorRecord::DType::float16 ||
                    tensor.dtype == TensorRecord::DType::bfloat16 || tensor.dtype == TensorRecord::DType::float64) {
                    const auto array = tensor.toFloat32();
                    if (array->count() != tensor.numel()) __builtin_trap();
                } else {
                    const auto values = tensor.toInt64();
                    if (static_cast<std::int64_t>(values.size()) != tensor.numel()) __builtin_trap();
                }
                (void)checkpoint.require(name, tensor.shape);
            } catch (const CheckpointError&) {
            }
        }
    } catch (const CheckpointError&) {
    }
    return 0;
}

#include "RarivOredu/checkpoint/TorchCheckpoint.h"

#include <cstring>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/PickleReader.h"
#include "RarivOredu/checkpoint/ZipArchive.h"

namespace rarivoredu {
namespace {

// A state dict's pickle is kilobytes to a few megabytes; a bigger one is read no further.
constexpr std::uint64_t maxPickleSize = std::uint64_t{256} << 20;
// Deeper nesting than this is no state dict (and a cycle would otherwise never end).
constexpr int maxDepth = 64;
// Values looked at while collecting tensors; shared containers could otherwise multiply them.
constexpr std::size_t maxVisits = std::size_t{1} << 22;
// Tensors listed, each a copy of its record under its own name: a pickle that reaches one tensor
// through many paths would otherwise list it over and over. Real checkpoints hold a few thousand.
constexpr std::size_t maxTensors = std::size_t{1} << 16;
// The longest path entered ("encoder.layers.0.conv.depthwise_conv.weight" has 43 bytes).
constexpr std::size_t maxNameLength = 1024;

// The legacy format starts with a pickled magic number: LONG1 of 0x1950a86a20f9469cfc6c.
constexpr unsigned char legacyMagic[] = {0x80, 0x02, 0x8a, 0x0a, 0x6c, 0xfc, 0x9c,
                                         0x46, 0xf9, 0x20, 0x6a, 0xa8, 0x50, 0x19};

void refuseOtherFormats(const FileRegion& region, const std::string& name) {
    unsigned char head[sizeof legacyMagic] = {};
    if (region.size() < 4) throw CheckpointError::truncated(name);
    const std::size_t count = region.size() < sizeof head ? static_cast<std::size_t>(region.size()) : sizeof head;
    region.read(0, head, count);
    if (std::memcmp(head, "PK\x03\x04", 4) == 0) return;
    if (count == sizeof head && std::memcmp(head, legacyMagic, sizeof head) == 0)
        throw CheckpointError::unsupported(
            name + " was saved by a torch older than 1.6; load and save it again with a newer torch");
    if (region.size() >= 512) {
        char ustar[6] = {};
        region.read(257, ustar, sizeof ustar);
        if (std::memcmp(ustar, "ustar", 5) == 0)
            throw CheckpointError::unsupported(
                name + " is a tar archive (a model archive, or torch's oldest format), not a torch checkpoint");
    }
    throw CheckpointError::malformed(name + ": not a torch checkpoint");
}

std::string recordPrefix(const ZipArchive& zip, const std::string& name) {
    auto prefixOf = [](const std::string& entry) -> std::string {
        const auto slash = entry.find('/');
        if (slash == std::string::npos || entry.compare(slash, std::string::npos, "/data.pkl") != 0) return {};
        return entry.substr(0, slash);
    };
    // torch names the folder after the first record; take that one when it has a pickle.
    if (!zip.entries().empty()) {
        const std::string first = zip.entries().front().name;
        const auto slash = first.find('/');
        if (slash != std::string::npos && zip.find(first.substr(0, slash) + "/data.pkl")) return first.substr(0, slash);
    }
    for (const auto& entry : zip.entries()) {
        std::string prefix = prefixOf(entry.name);
        if (!prefix.empty()) return prefix;
    }
    throw CheckpointError::malformed(name + ": no data.pkl record");
}

class TensorCollector {
public:
    TensorCollector(std::map<std::string, TensorRecord>& tensors, const std::string& file)
        : tensors_(tensors), file_(file) {}

    // `name` is the path to `value`; it is extended in place and given back as it was.
    void collect(const PickleValue& value, std::string& name, int depth) {
        if (++visits_ > maxVisits) throw CheckpointError::unsupported(file_ + ": too many values to look through");
        switch (value.type()) {
            case PickleValue::Type::tensor:
                if (tensors_.size() >= maxTensors)
                    throw CheckpointError::unsupported(file_ + ": more than " + std::to_string(maxTensors) + " tensors");
                if (!tensors_.emplace(name, value.tensor()).second)
                    throw CheckpointError::malformed(file_ + ": two tensors named \"" + name + "\"");
                return;
            case PickleValue::Type::dict:
                enter(depth);
                for (const auto& [key, item] : value.dictItems()) {
                    if (key.type() == PickleValue::Type::string) {
                        descend(item, name, key.asString(), depth);
                    } else if (key.type() == PickleValue::Type::integer) {
                        descend(item, name, std::to_string(key.asInt()), depth);
                    }
                }
                return;
            case PickleValue::Type::list:
            case PickleValue::Type::tuple: {
                enter(depth);
                const auto items = value.items();
                for (std::size_t i = 0; i < items.size(); ++i) descend(items[i], name, std::to_string(i), depth);
                return;
            }
            default: return;
        }
    }

private:
    void enter(int depth) const {
        if (depth >= maxDepth) throw CheckpointError::malformed(file_ + ": values nested too deeply");
    }

    // Collects `item` under name + "." + part. Nothing under a longer path is entered: no
    // importer looks a tensor up by such a name.
    void descend(const PickleValue& item, std::string& name, const std::string& part, int depth) {
        const std::size_t length = name.size();
        if (length + 1 + part.size() > maxNameLength) return;
        if (length != 0) name += '.';
        name += part;
        collect(item, name, depth + 1);
        name.resize(length);
    }

    std::map<std::string, TensorRecord>& tensors_;
    const std::string& file_;
    std::size_t visits_ = 0;
};

}  // namespace

TorchCheckpoint TorchCheckpoint::open(const std::filesystem::path& file) { return open(FileRegion::open(file)); }

TorchCheckpoint TorchCheckpoint::open(const FileRegion& region) {
    const std::string name = region.name();
    refuseOtherFormats(region, name);
    const ZipArchive zip = ZipArchive::open(region);
    TorchCheckpoint checkpoint;
    checkpoint.prefix_ = recordPrefix(zip, name);
    const std::string& prefix = checkpoint.prefix_;

    if (const auto* byteorder = zip.find(prefix + "/byteorder")) {
        const std::string order = zip.readAll(*byteorder);
        if (order == "big") throw CheckpointError::unsupported(name + " holds big-endian tensors");
        if (order != "little") throw CheckpointError::malformed(name + ": byteorder \"" + order + "\"");
    }

    const auto* pickle = zip.find(prefix + "/data.pkl");
    if (pickle->size > maxPickleSize)
        throw CheckpointError::unsupported(name + ": " + pickle->name + " is too large (" +
                                           std::to_string(pickle->size) + " bytes)");
    const std::string bytes = zip.readAll(*pickle);
    const auto storage = [&zip, &prefix, &name](const std::string& key) {
        const auto* entry = zip.find(prefix + "/data/" + key);
        if (!entry) throw CheckpointError::malformed(name + ": no record for storage " + key);
        return zip.region(*entry);
    };
    checkpoint.top_ = PickleReader::parse(bytes, name + ": " + prefix + "/data.pkl", storage);
    std::string path;
    TensorCollector(checkpoint.tensors_, name).collect(checkpoint.top_, path, 0);
    for (auto& [tensorName, tensor] : checkpoint.tensors_)
        if (const auto* entry = zip.find(prefix + "/data/" + tensor.storageKey)) tensor.storageCrc32 = entry->crc32;
    return checkpoint;
}

const TensorRecord* TorchCheckpoint::find(const std::string& name) const {
    const auto found = tensors_.find(name);
    return found == tensors_.end() ? nullptr : &found->second;
}

const TensorRecord& TorchCheckpoint::require(const std::string& name,
                                             const std::vector<std::int64_t>& expectedShape) const {
    const TensorRecord* tensor = find(name);
    if (!tensor) throw CheckpointError::missingTensor(name);
    if (tensor->shape != expectedShape) throw CheckpointError::wrongShape(name, expectedShape, tensor->shape);
    return *tensor;
}

}  // namespace rarivoredu

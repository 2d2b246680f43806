#pragma once

// A torch.save zip made of the parts of an input: the pickle, then the storages "0", "1", … The
// records' checksums are computed here, so that the fuzzer changes what the pickle and the
// storages say rather than spending its runs on CRC mismatches.

#include <string>
#include <string_view>
#include <vector>

#include "tests/RarivOredu/checkpoint/ArchiveBytes.h"

namespace fuzzsupport {

inline std::string torchZip(const std::vector<std::string_view>& parts) {
    std::vector<checkpointtest::ZipRecord> records;
    records.push_back({"archive/data.pkl", parts.empty() ? std::string() : std::string(parts[0])});
    for (std::size_t i = 1; i < parts.size(); ++i)
        records.push_back({"archive/data/" + std::to_string(i - 1), std::string(parts[i])});
    records.push_back({"archive/byteorder", "little"});
    records.push_back({"archive/version", "3\n"});
    return checkpointtest::zipArchive(records);
}

}  // namespace fuzzsupport

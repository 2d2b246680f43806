#include "RarivOredu/checkpoint/CheckpointError.h"

#include "RarivOredu/shared/ShapeText.h"

namespace rarivoredu {
namespace {

std::string describe(CheckpointError::Kind kind, const std::string& subject, const std::string& reason,
                     const std::vector<std::int64_t>& expected, const std::vector<std::int64_t>& found) {
    using Kind = CheckpointError::Kind;
    switch (kind) {
        case Kind::unreadable: return "Cannot read " + subject + ": " + reason;
        case Kind::truncated: return subject + " is truncated";
        case Kind::malformed: return subject + " is malformed";
        case Kind::unsupported: return "Unsupported checkpoint: " + subject;
        case Kind::missingTensor: return "The checkpoint has no tensor " + subject;
        case Kind::wrongShape:
            return subject + " has shape " + shapeArrayText(found) + ", expected " + shapeArrayText(expected);
    }
    return {};
}

}  // namespace

CheckpointError::CheckpointError(Kind kind, std::string subject, std::string reason, std::vector<std::int64_t> expected,
                                 std::vector<std::int64_t> found)
    : kind_(kind),
      subject_(std::move(subject)),
      reason_(std::move(reason)),
      expected_(std::move(expected)),
      found_(std::move(found)),
      description_(describe(kind_, subject_, reason_, expected_, found_)) {}

CheckpointError CheckpointError::unreadable(const std::filesystem::path& path, std::string reason) {
    return CheckpointError(Kind::unreadable, path.string(), std::move(reason));
}

CheckpointError CheckpointError::truncated(std::string what) {
    return CheckpointError(Kind::truncated, std::move(what));
}

CheckpointError CheckpointError::malformed(std::string what) {
    return CheckpointError(Kind::malformed, std::move(what));
}

CheckpointError CheckpointError::unsupported(std::string what) {
    return CheckpointError(Kind::unsupported, std::move(what));
}

CheckpointError CheckpointError::missingTensor(std::string name) {
    return CheckpointError(Kind::missingTensor, std::move(name));
}

CheckpointError CheckpointError::wrongShape(std::string name, std::vector<std::int64_t> expected,
                                            std::vector<std::int64_t> found) {
    return CheckpointError(Kind::wrongShape, std::move(name), {}, std::move(expected), std::move(found));
}

}  // namespace rarivoredu

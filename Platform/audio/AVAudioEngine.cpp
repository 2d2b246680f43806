#include "Platform/audio/AVAudioEngine.h"

namespace platform {

AVAudioEngine::AVAudioEngine(std::shared_ptr<AudioHardware> hardware)
    : hardware_(std::move(hardware)), inputNode_(hardware_->makeInputBackend()) {}

AVAudioEngine::~AVAudioEngine() { stop(); }

void AVAudioEngine::start() { inputNode_.start(); }

void AVAudioEngine::stop() { inputNode_.stop(); }

}  // namespace platform

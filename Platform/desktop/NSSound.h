#pragma once

#include <functional>
#include <string>

namespace platform {

// A short sound of the desktop's sound theme, named by its event ("bell", "device-added"), played
// through the session's sound server.
class NSSound {
public:
    explicit NSSound(std::string name);

    const std::string& name() const { return name_; }

    // Starts playing and returns at once; false when the sound cannot be played (no such sound in
    // the theme, no sound server). didFinish, when given and the sound started, is called once on
    // another thread as it ends, with whether it played to its end.
    bool play(std::function<void(bool finished)> didFinish = {}) const;

private:
    std::string name_;
};

}  // namespace platform

#include "Platform/desktop/NSSound.h"

#include <canberra.h>

#include <atomic>
#include <map>
#include <mutex>

namespace platform {
namespace {

// One libcanberra context for the process (it serialises its calls itself), and the completions of
// the sounds playing now, by their play id: a completion is taken out exactly once, by the end of
// its sound or by a start that failed.
class SoundPlayer {
public:
    static SoundPlayer& shared() {
        static SoundPlayer player;
        return player;
    }

    bool play(const std::string& name, std::function<void(bool)> didFinish) {
        if (!context_) return false;
        const std::uint32_t id = nextId_++;
        if (didFinish) {
            std::lock_guard lock(mutex_);
            finishing_.emplace(id, std::move(didFinish));
        }
        ca_proplist* properties = nullptr;
        if (ca_proplist_create(&properties) != CA_SUCCESS) {
            take(id);
            return false;
        }
        ca_proplist_sets(properties, CA_PROP_EVENT_ID, name.c_str());
        ca_proplist_sets(properties, CA_PROP_EVENT_DESCRIPTION, name.c_str());
        const int result = ca_context_play_full(context_, id, properties, &SoundPlayer::finished, this);
        ca_proplist_destroy(properties);
        if (result != CA_SUCCESS) {
            take(id);
            return false;
        }
        return true;
    }

private:
    SoundPlayer() {
        if (ca_context_create(&context_) != CA_SUCCESS) {
            context_ = nullptr;
            return;
        }
        ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Parloquin", CA_PROP_APPLICATION_ID,
                                "org.parloquin.Parloquin", nullptr);
    }
    // Lives to the end of the process: sounds may still be finishing on the sound server's thread.

    std::function<void(bool)> take(std::uint32_t id) {
        std::lock_guard lock(mutex_);
        auto it = finishing_.find(id);
        if (it == finishing_.end()) return {};
        std::function<void(bool)> didFinish = std::move(it->second);
        finishing_.erase(it);
        return didFinish;
    }

    static void finished(ca_context*, std::uint32_t id, int error, void* player) {
        if (auto didFinish = static_cast<SoundPlayer*>(player)->take(id)) didFinish(error == CA_SUCCESS);
    }

    ca_context* context_ = nullptr;
    std::atomic<std::uint32_t> nextId_{1};
    std::mutex mutex_;
    std::map<std::uint32_t, std::function<void(bool)>> finishing_;
};

}  // namespace

NSSound::NSSound(std::string name) : name_(std::move(name)) {}

bool NSSound::play(std::function<void(bool finished)> didFinish) const {
    return SoundPlayer::shared().play(name_, std::move(didFinish));
}

}  // namespace platform

#pragma once

namespace parloquin {

// How far the launch has come with the speech models: the start item, the submenu and the answer
// to a start all follow it.
enum class LaunchStage {
    loading,  // being fetched, converted or loaded (again, after a retry)
    ready,    // loaded: dictations can start
    failed,   // could not be loaded; nothing comes of waiting until the setup is tried again
};

}  // namespace parloquin

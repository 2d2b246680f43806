#pragma once

namespace platform {

// What the X11 desktop is told about our small always-present windows, beyond what Qt says.
// Every call does nothing when no X server can be reached.
struct X11WindowHints {
    // Shown on every workspace and left out of task bars and pagers. Call on a window that is
    // created but not yet mapped; window managers read these hints when the window is mapped.
    static void setOnAllWorkspaces(unsigned long window);

    // Lists the window in task bars and window switchers, or leaves it out of them (the skip-taskbar
    // and skip-pager states). A mapped window asks the window manager, which owns its state; an
    // unmapped one, or any window while no window manager runs, gets the state written directly.
    static void setListedInTaskbar(unsigned long window, bool listed);

    // Whether a compositing manager runs on the default screen; without one, transparent pixels of
    // a window show whatever lay in its place, so round shapes need an input-and-output shape.
    static bool compositingManagerRunning();
};

}  // namespace platform

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct wl_buffer;
struct wl_compositor;
struct wl_pointer;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace platform {

class WaylandConnection;

// A small surface above every window on a compositor with the layer shell (sway and the other
// wlroots desktops, KWin): placed by its offset from the output's top-left corner, and never given
// the keyboard focus, unlike a window, which a Wayland compositor focuses when it appears. The
// caller draws it (ARGB32, premultiplied) and hears its pointer events. Main thread only.
class WaylandLayerPanel {
public:
    struct PointerEvent {
        enum class Type { motion, press, release, leave };
        Type type;
        int x;                // within the panel
        int y;
        std::uint32_t button;  // a Linux button code (BTN_LEFT 0x110) for press and release
    };

    // nullptr without a compositor that offers the layer shell. A panel that takes no pointer
    // lets every click through to what lies below. Without a connection it opens one.
    static std::unique_ptr<WaylandLayerPanel> create(const std::string& name, bool takesPointer,
                                                     std::shared_ptr<WaylandConnection> connection = nullptr);
    ~WaylandLayerPanel();
    WaylandLayerPanel(const WaylandLayerPanel&) = delete;
    WaylandLayerPanel& operator=(const WaylandLayerPanel&) = delete;

    // Shows the picture at the offset; the panel takes the picture's size. False when the
    // compositor did not take it (it closed the panel, or the connection broke).
    bool present(const std::uint8_t* pixels, int width, int height, int stride, int x, int y);
    void hide();
    bool isShown() const { return surface_ != nullptr; }

    std::function<void(const PointerEvent&)> onPointer;

private:
    struct Buffer;
    WaylandLayerPanel(std::shared_ptr<WaylandConnection> connection, wl_compositor* compositor, wl_shm* shm,
                      zwlr_layer_shell_v1* shell, std::string name, bool takesPointer);
    bool map(int width, int height, int x, int y);
    Buffer* freeBuffer(int width, int height);

    std::shared_ptr<WaylandConnection> connection_;
    wl_compositor* compositor_;
    wl_shm* shm_;
    zwlr_layer_shell_v1* shell_;
    std::string name_;
    bool takesPointer_;
    wl_pointer* pointer_ = nullptr;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    bool configured_ = false;
    bool closed_ = false;
    int width_ = 0, height_ = 0, x_ = 0, y_ = 0;
    int pointerX_ = 0, pointerY_ = 0;
    bool pointerInside_ = false;
    std::unique_ptr<Buffer> buffers_[2];
};

}  // namespace platform

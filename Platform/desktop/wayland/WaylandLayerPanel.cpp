#include "Platform/desktop/wayland/WaylandLayerPanel.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "Platform/desktop/wayland/WaylandConnection.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace platform {
namespace {

constexpr auto kConfigureLimit = std::chrono::milliseconds(2000);

}  // namespace

// A picture in shared memory that the compositor reads until it releases it.
struct WaylandLayerPanel::Buffer {
    wl_buffer* buffer = nullptr;
    void* data = MAP_FAILED;
    std::size_t size = 0;
    int width = 0, height = 0;
    bool busy = false;

    ~Buffer() {
        if (buffer) wl_buffer_destroy(buffer);
        if (data != MAP_FAILED) munmap(data, size);
    }
};

std::unique_ptr<WaylandLayerPanel> WaylandLayerPanel::create(const std::string& name, bool takesPointer,
                                                             std::shared_ptr<WaylandConnection> connection) {
    if (!connection) connection = WaylandConnection::open();
    if (!connection || connection->version(zwlr_layer_shell_v1_interface.name) == 0) return nullptr;
    auto* compositor = static_cast<wl_compositor*>(connection->bind(&wl_compositor_interface, 4));
    auto* shm = static_cast<wl_shm*>(connection->bind(&wl_shm_interface, 1));
    auto* shell = static_cast<zwlr_layer_shell_v1*>(connection->bind(&zwlr_layer_shell_v1_interface, 4));
    if (compositor == nullptr || shm == nullptr || shell == nullptr || wl_proxy_get_version(reinterpret_cast<wl_proxy*>(compositor)) < 4) {
        if (compositor) wl_compositor_destroy(compositor);
        if (shm) wl_shm_destroy(shm);
        if (shell) wl_proxy_destroy(reinterpret_cast<wl_proxy*>(shell));
        return nullptr;
    }
    return std::unique_ptr<WaylandLayerPanel>(
        new WaylandLayerPanel(std::move(connection), compositor, shm, shell, name, takesPointer));
}

WaylandLayerPanel::WaylandLayerPanel(std::shared_ptr<WaylandConnection> connection, wl_compositor* compositor,
                                     wl_shm* shm, zwlr_layer_shell_v1* shell, std::string name, bool takesPointer)
    : connection_(std::move(connection)), compositor_(compositor), shm_(shm), shell_(shell), name_(std::move(name)),
      takesPointer_(takesPointer) {
    if (!takesPointer_ || connection_->seat() == nullptr ||
        (connection_->seatCapabilities() & WL_SEAT_CAPABILITY_POINTER) == 0)
        return;
    // Member by member: a newer libwayland's listener has more events (axis_relative_direction),
    // which a seat bound at version 5 never sends; they stay null.
    static constexpr wl_pointer_listener listener = [] {
        wl_pointer_listener l{};
        l.enter = [](void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
            auto* self = static_cast<WaylandLayerPanel*>(data);
            self->pointerInside_ = surface != nullptr && surface == self->surface_;
            self->pointerX_ = wl_fixed_to_int(x);
            self->pointerY_ = wl_fixed_to_int(y);
            if (self->pointerInside_ && self->onPointer)
                self->onPointer({PointerEvent::Type::motion, self->pointerX_, self->pointerY_, 0});
        };
        l.leave = [](void* data, wl_pointer*, std::uint32_t, wl_surface*) {
            auto* self = static_cast<WaylandLayerPanel*>(data);
            if (self->pointerInside_ && self->onPointer)
                self->onPointer({PointerEvent::Type::leave, self->pointerX_, self->pointerY_, 0});
            self->pointerInside_ = false;
        };
        l.motion = [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
            auto* self = static_cast<WaylandLayerPanel*>(data);
            self->pointerX_ = wl_fixed_to_int(x);
            self->pointerY_ = wl_fixed_to_int(y);
            if (self->pointerInside_ && self->onPointer)
                self->onPointer({PointerEvent::Type::motion, self->pointerX_, self->pointerY_, 0});
        };
        l.button = [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button, std::uint32_t state) {
            auto* self = static_cast<WaylandLayerPanel*>(data);
            if (!self->pointerInside_ || !self->onPointer) return;
            const auto type = state == WL_POINTER_BUTTON_STATE_PRESSED ? PointerEvent::Type::press
                                                                        : PointerEvent::Type::release;
            self->onPointer({type, self->pointerX_, self->pointerY_, button});
        };
        l.axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {};
        l.frame = [](void*, wl_pointer*) {};
        l.axis_source = [](void*, wl_pointer*, std::uint32_t) {};
        l.axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {};
        l.axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {};
        l.axis_value120 = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {};
        return l;
    }();
    pointer_ = wl_seat_get_pointer(connection_->seat());
    wl_pointer_add_listener(pointer_, &listener, this);
}

WaylandLayerPanel::~WaylandLayerPanel() {
    hide();
    if (pointer_) wl_pointer_destroy(pointer_);
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(shell_));
    wl_shm_destroy(shm_);
    wl_compositor_destroy(compositor_);
    connection_->flush();
}

bool WaylandLayerPanel::map(int width, int height, int x, int y) {
    static constexpr zwlr_layer_surface_v1_listener listener{
        [](void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t, std::uint32_t) {
            zwlr_layer_surface_v1_ack_configure(layer, serial);
            static_cast<WaylandLayerPanel*>(data)->configured_ = true;
        },
        [](void* data, zwlr_layer_surface_v1*) { static_cast<WaylandLayerPanel*>(data)->closed_ = true; },
    };
    surface_ = wl_compositor_create_surface(compositor_);
    layer_ = zwlr_layer_shell_v1_get_layer_surface(shell_, surface_, nullptr, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                   name_.c_str());
    zwlr_layer_surface_v1_add_listener(layer_, &listener, this);
    zwlr_layer_surface_v1_set_size(layer_, std::uint32_t(width), std::uint32_t(height));
    zwlr_layer_surface_v1_set_anchor(layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    // Placed from the output's corner, whatever panels reserve.
    zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
    zwlr_layer_surface_v1_set_margin(layer_, y, 0, 0, x);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    if (!takesPointer_) {
        wl_region* nothing = wl_compositor_create_region(compositor_);
        wl_surface_set_input_region(surface_, nothing);
        wl_region_destroy(nothing);
    }
    wl_surface_commit(surface_);
    configured_ = false;
    closed_ = false;
    QDeadlineTimer deadline(kConfigureLimit);
    while (!configured_ && !closed_ && !deadline.hasExpired()) {
        if (!connection_->dispatchOnce(std::chrono::milliseconds(deadline.remainingTime()))) break;
    }
    width_ = width;
    height_ = height;
    x_ = x;
    y_ = y;
    if (configured_ && !closed_) return true;
    hide();
    return false;
}

WaylandLayerPanel::Buffer* WaylandLayerPanel::freeBuffer(int width, int height) {
    for (auto& buffer : buffers_) {
        if (buffer && !buffer->busy && buffer->width == width && buffer->height == height) return buffer.get();
    }
    for (auto& buffer : buffers_) {
        if (buffer && buffer->busy) continue;
        buffer = std::make_unique<Buffer>();
        buffer->width = width;
        buffer->height = height;
        buffer->size = std::size_t(width) * std::size_t(height) * 4;
        const int fd = memfd_create("parloquin-panel", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(buffer->size)) != 0) {
            if (fd >= 0) ::close(fd);
            return nullptr;
        }
        buffer->data = mmap(nullptr, buffer->size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, std::int32_t(buffer->size));
        ::close(fd);
        if (buffer->data == MAP_FAILED) {
            wl_shm_pool_destroy(pool);
            return nullptr;
        }
        buffer->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
        static constexpr wl_buffer_listener listener{
            [](void* data, wl_buffer*) { static_cast<Buffer*>(data)->busy = false; }};
        wl_buffer_add_listener(buffer->buffer, &listener, buffer.get());
        return buffer.get();
    }
    return nullptr;  // both still read by the compositor: this picture is skipped
}

bool WaylandLayerPanel::present(const std::uint8_t* pixels, int width, int height, int stride, int x, int y) {
    if (connection_->isBroken() || width <= 0 || height <= 0) return false;
    if (closed_) hide();
    if (surface_ && (width != width_ || height != height_)) hide();
    if (!surface_ && !map(width, height, x, y)) return false;
    if (x != x_ || y != y_) {
        zwlr_layer_surface_v1_set_margin(layer_, y, 0, 0, x);
        x_ = x;
        y_ = y;
    }
    Buffer* buffer = freeBuffer(width, height);
    if (buffer == nullptr) return true;
    for (int row = 0; row < height; ++row) {
        std::memcpy(static_cast<std::uint8_t*>(buffer->data) + std::size_t(row) * std::size_t(width) * 4,
                    pixels + std::size_t(row) * std::size_t(stride), std::size_t(width) * 4);
    }
    wl_surface_attach(surface_, buffer->buffer, 0, 0);
    wl_surface_damage_buffer(surface_, 0, 0, width, height);
    wl_surface_commit(surface_);
    buffer->busy = true;
    connection_->flush();
    return !connection_->isBroken();
}

void WaylandLayerPanel::hide() {
    if (layer_) zwlr_layer_surface_v1_destroy(layer_);
    if (surface_) wl_surface_destroy(surface_);
    layer_ = nullptr;
    surface_ = nullptr;
    configured_ = false;
    pointerInside_ = false;
    for (auto& buffer : buffers_) buffer.reset();
    connection_->flush();
}

}  // namespace platform

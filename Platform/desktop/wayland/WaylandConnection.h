#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QMetaObject>

class QSocketNotifier;
struct pollfd;
struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_seat;

namespace platform {

// A connection of our own to the Wayland compositor (WAYLAND_DISPLAY), beside whatever Qt uses, so
// that it works whichever Qt platform runs. It is serviced on the Qt main thread: its socket is
// watched by the event loop, and requests are flushed before the loop sleeps. The compositor's
// globals are listed on connecting. A protocol error ends a connection (the compositor closes it),
// so each user that may meet one (a refused keyboard) keeps a connection of its own.
class WaylandConnection {
public:
    // nullptr when no compositor can be reached (no WAYLAND_DISPLAY, or it refuses). A name that
    // begins with '/' is the socket's path.
    static std::shared_ptr<WaylandConnection> open(const char* displayName = nullptr);

    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const noexcept { return display_; }
    // The version the compositor offers of a global interface; 0 when it offers none.
    std::uint32_t version(std::string_view interface) const;
    // Binds the global at the lower of the offered and the wanted version; nullptr when it is not
    // offered. The caller owns the proxy.
    void* bind(const wl_interface* interface, std::uint32_t wantedVersion);
    // The first seat (bound at version 5 at most), nullptr without one.
    wl_seat* seat() const noexcept { return seat_; }
    // The seat's wl_seat capabilities (pointer 1, keyboard 2, touch 4) as last announced.
    std::uint32_t seatCapabilities() const noexcept { return seatCapabilities_; }

    // Sends what is queued and waits until the compositor has handled it and its answers are
    // dispatched. False when the connection broke.
    bool roundtrip();
    // Dispatches what has arrived, waiting up to the timeout for more, while also waiting for the
    // extra descriptors (their revents are filled in). False when the connection broke.
    bool dispatchOnce(std::chrono::milliseconds timeout, std::span<pollfd> extra = {});
    void flush();
    // A protocol error or a lost compositor: nothing works on this connection any more.
    bool isBroken() const;

private:
    struct Global {
        std::uint32_t name;
        std::string interface;
        std::uint32_t version;
    };
    explicit WaylandConnection(wl_display* display);
    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    void watch();

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::uint32_t seatCapabilities_ = 0;
    std::vector<Global> globals_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QMetaObject::Connection aboutToBlock_;
};

}  // namespace platform

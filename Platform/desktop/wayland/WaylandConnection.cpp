#include "Platform/desktop/wayland/WaylandConnection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <poll.h>
#include <wayland-client.h>

namespace platform {

std::shared_ptr<WaylandConnection> WaylandConnection::open(const char* displayName) {
    if (displayName == nullptr) {
        const char* environment = std::getenv("WAYLAND_DISPLAY");
        if (environment == nullptr || *environment == '\0') return nullptr;
    }
    wl_display* display = wl_display_connect(displayName);
    if (display == nullptr) return nullptr;
    std::shared_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // Two round trips: the globals, then the seat's first events.
    if (!connection->roundtrip() || !connection->roundtrip()) return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {
    static constexpr wl_registry_listener listener{&WaylandConnection::onGlobal, &WaylandConnection::onGlobalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);
    watch();
}

WaylandConnection::~WaylandConnection() {
    QObject::disconnect(aboutToBlock_);
    notifier_.reset();
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void WaylandConnection::onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                                 std::uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->globals_.push_back({name, interface, version});
    if (self->seat_ == nullptr && std::string_view(interface) == wl_seat_interface.name) {
        self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
        static constexpr wl_seat_listener seatListener{
            [](void* data, wl_seat*, std::uint32_t capabilities) {
                static_cast<WaylandConnection*>(data)->seatCapabilities_ = capabilities;
            },
            [](void*, wl_seat*, const char*) {}};
        wl_seat_add_listener(self->seat_, &seatListener, self);
    }
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* self = static_cast<WaylandConnection*>(data);
    std::erase_if(self->globals_, [name](const Global& global) { return global.name == name; });
}

void WaylandConnection::watch() {
    // Only where a Qt event loop runs on this thread; otherwise callers dispatch themselves.
    if (QCoreApplication::instance() == nullptr || QThread::currentThread() != QCoreApplication::instance()->thread())
        return;
    notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        if (!dispatchOnce(std::chrono::milliseconds(0))) notifier_->setEnabled(false);
    });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(notifier_->thread())) {
        // Requests made from the main loop's handlers go out before it sleeps.
        aboutToBlock_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, notifier_.get(), [this] {
            wl_display_dispatch_pending(display_);
            wl_display_flush(display_);
        });
    }
}

std::uint32_t WaylandConnection::version(std::string_view interface) const {
    for (const Global& global : globals_)
        if (global.interface == interface) return global.version;
    return 0;
}

void* WaylandConnection::bind(const wl_interface* interface, std::uint32_t wantedVersion) {
    for (const Global& global : globals_) {
        if (global.interface != interface->name) continue;
        return wl_registry_bind(registry_, global.name, interface, std::min(global.version, wantedVersion));
    }
    return nullptr;
}

bool WaylandConnection::roundtrip() { return wl_display_roundtrip(display_) >= 0; }

bool WaylandConnection::dispatchOnce(std::chrono::milliseconds timeout, std::span<pollfd> extra) {
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) return false;
    }
    wl_display_flush(display_);
    std::vector<pollfd> fds;
    fds.reserve(extra.size() + 1);
    fds.push_back({wl_display_get_fd(display_), POLLIN, 0});
    fds.insert(fds.end(), extra.begin(), extra.end());
    const int ready = ::poll(fds.data(), fds.size(), int(timeout.count()));
    if (ready > 0 && fds[0].revents != 0) {
        if (wl_display_read_events(display_) < 0) return false;
    } else {
        wl_display_cancel_read(display_);
    }
    for (std::size_t i = 0; i < extra.size(); ++i) extra[i].revents = fds[i + 1].revents;
    if (wl_display_dispatch_pending(display_) < 0) return false;
    return !isBroken();
}

void WaylandConnection::flush() { wl_display_flush(display_); }

bool WaylandConnection::isBroken() const { return wl_display_get_error(display_) != 0; }

}  // namespace platform

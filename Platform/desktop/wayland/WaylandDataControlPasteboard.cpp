#include "Platform/desktop/wayland/WaylandDataControlPasteboard.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include "Platform/desktop/wayland/WaylandConnection.h"
#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace platform {

// The two protocols have the same requests, events and argument order; they differ in their names
// and in the version that brought the primary selection. Requests are sent by their opcodes.
struct WaylandDataControlPasteboard::Protocol {
    const wl_interface* manager;
    const wl_interface* device;
    const wl_interface* source;
    const wl_interface* offer;
    std::uint32_t version;         // the version bound
    std::uint32_t primarySince;    // the version that has the primary selection
};

namespace {

using Protocol = WaylandDataControlPasteboard::Protocol;

const Protocol kExtProtocol{&ext_data_control_manager_v1_interface, &ext_data_control_device_v1_interface,
                            &ext_data_control_source_v1_interface, &ext_data_control_offer_v1_interface, 1, 1};
const Protocol kWlrProtocol{&zwlr_data_control_manager_v1_interface, &zwlr_data_control_device_v1_interface,
                            &zwlr_data_control_source_v1_interface, &zwlr_data_control_offer_v1_interface, 2, 2};

enum ManagerRequest : std::uint32_t { createDataSource = 0, getDataDevice = 1, destroyManager = 2 };
enum DeviceRequest : std::uint32_t { setSelection = 0, destroyDevice = 1, setPrimarySelection = 2 };
enum SourceRequest : std::uint32_t { offerMimeType = 0, destroySource = 1 };
enum OfferRequest : std::uint32_t { receiveOffer = 0, destroyOffer = 1 };

// What this text is offered as, and read back as, best first: the UTF-8 types of Wayland and X11,
// then the older ones.
constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"};

void destroy(wl_proxy* proxy, std::uint32_t opcode) {
    if (proxy == nullptr) return;
    wl_proxy_marshal_flags(proxy, opcode, nullptr, wl_proxy_get_version(proxy), WL_MARSHAL_FLAG_DESTROY);
}

struct DeviceListener {
    void (*dataOffer)(void*, wl_proxy*, wl_proxy*);
    void (*selection)(void*, wl_proxy*, wl_proxy*);
    void (*finished)(void*, wl_proxy*);
    void (*primarySelection)(void*, wl_proxy*, wl_proxy*);
};
struct SourceListener {
    void (*send)(void*, wl_proxy*, const char*, std::int32_t);
    void (*cancelled)(void*, wl_proxy*);
};
struct OfferListener {
    void (*offer)(void*, wl_proxy*, const char*);
};

template <typename Listener>
void listen(wl_proxy* proxy, const Listener& listener, void* data) {
    // Listener structs are arrays of function pointers, as libwayland reads them.
    wl_proxy_add_listener(proxy, reinterpret_cast<void (**)(void)>(const_cast<Listener*>(&listener)), data);
}

}  // namespace

struct WaylandDataControlPasteboard::Offer {
    wl_proxy* proxy;
    std::vector<std::string> mimeTypes;
    ~Offer() { destroy(proxy, destroyOffer); }
};

struct WaylandDataControlPasteboard::Write {
    int fd;
    std::string data;
    std::size_t written = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    // Writes what the reader takes now; true once all is written or the reader went away.
    bool proceed() {
        while (written < data.size()) {
            const ssize_t count = ::write(fd, data.data() + written, data.size() - written);
            if (count > 0) {
                written += std::size_t(count);
                continue;
            }
            if (count < 0 && errno == EINTR) continue;
            return !(count < 0 && errno == EAGAIN);
        }
        return true;
    }
    ~Write() {
        notifier.reset();
        ::close(fd);
    }
};

std::unique_ptr<WaylandDataControlPasteboard> WaylandDataControlPasteboard::create(
    Selection selection, std::shared_ptr<WaylandConnection> connection) {
    if (!connection) connection = WaylandConnection::open();
    if (!connection || connection->seat() == nullptr) return nullptr;
    for (const Protocol* protocol : {&kExtProtocol, &kWlrProtocol}) {
        const std::uint32_t offered = connection->version(protocol->manager->name);
        if (offered == 0) continue;
        if (selection == Selection::primary && offered < protocol->primarySince) continue;
        auto* manager = static_cast<wl_proxy*>(connection->bind(protocol->manager, protocol->version));
        if (manager == nullptr) continue;
        auto* device = wl_proxy_marshal_flags(manager, getDataDevice, protocol->device, wl_proxy_get_version(manager), 0,
                                              nullptr, connection->seat());
        std::unique_ptr<WaylandDataControlPasteboard> pasteboard(
            new WaylandDataControlPasteboard(selection, connection, *protocol, manager, device));
        // The first selection event tells what the selection holds now.
        if (!connection->roundtrip()) return nullptr;
        return pasteboard;
    }
    return nullptr;
}

WaylandDataControlPasteboard::WaylandDataControlPasteboard(Selection selection,
                                                           std::shared_ptr<WaylandConnection> connection,
                                                           const Protocol& protocol, wl_proxy* manager,
                                                           wl_proxy* device)
    : selection_(selection), connection_(std::move(connection)), protocol_(protocol), manager_(manager), device_(device) {
    static constexpr DeviceListener listener{&onDataOffer, &onSelection, &onFinished, &onPrimarySelection};
    listen(device_, listener, this);
}

WaylandDataControlPasteboard::~WaylandDataControlPasteboard() {
    writes_.clear();
    announced_.clear();
    current_.reset();
    if (source_) destroy(source_, destroySource);
    if (!finished_) destroy(device_, destroyDevice);
    destroy(manager_, destroyManager);
    connection_->flush();
}

void WaylandDataControlPasteboard::onDataOffer(void* data, wl_proxy*, wl_proxy* offer) {
    auto* self = static_cast<WaylandDataControlPasteboard*>(data);
    static constexpr OfferListener listener{&onOfferMimeType};
    std::unique_ptr<Offer> announced(new Offer{offer, {}});
    listen(offer, listener, announced.get());
    self->announced_.push_back(std::move(announced));
}

void WaylandDataControlPasteboard::onOfferMimeType(void* data, wl_proxy*, const char* mimeType) {
    static_cast<Offer*>(data)->mimeTypes.emplace_back(mimeType);
}

void WaylandDataControlPasteboard::onSelection(void* data, wl_proxy*, wl_proxy* offer) {
    auto* self = static_cast<WaylandDataControlPasteboard*>(data);
    if (self->selection_ == Selection::clipboard) return self->takeSelection(offer);
    std::erase_if(self->announced_, [offer](const auto& announced) { return announced->proxy == offer; });
}

void WaylandDataControlPasteboard::onPrimarySelection(void* data, wl_proxy*, wl_proxy* offer) {
    auto* self = static_cast<WaylandDataControlPasteboard*>(data);
    if (self->selection_ == Selection::primary) return self->takeSelection(offer);
    std::erase_if(self->announced_, [offer](const auto& announced) { return announced->proxy == offer; });
}

void WaylandDataControlPasteboard::takeSelection(wl_proxy* offer) {
    current_.reset();
    auto it = std::find_if(announced_.begin(), announced_.end(),
                           [offer](const auto& announced) { return announced->proxy == offer; });
    if (it != announced_.end()) {
        current_ = std::move(*it);
        announced_.erase(it);
    }
    ++selectionChanges_;
}

void WaylandDataControlPasteboard::onFinished(void* data, wl_proxy*) {
    auto* self = static_cast<WaylandDataControlPasteboard*>(data);
    self->finished_ = true;
    destroy(self->device_, destroyDevice);
}

void WaylandDataControlPasteboard::onSend(void* data, wl_proxy* source, const char*, std::int32_t fd) {
    auto* self = static_cast<WaylandDataControlPasteboard*>(data);
    if (source != self->source_) {
        ::close(fd);
        return;
    }
    // Every offered type is the same UTF-8 text.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::unique_ptr<Write> write(new Write{fd, self->text_, 0, nullptr});
    if (write->proceed()) return;
    // A reader that takes its time is served from the event loop, never waited for.
    if (QCoreApplication::instance() != nullptr) {
        Write* pending = write.get();
        write->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        QObject::connect(write->notifier.get(), &QSocketNotifier::activated, write->notifier.get(),
                         [self, pending] {
                             if (pending->proceed()) self->dropWrite(pending);
                         });
    }
    self->writes_.push_back(std::move(write));
}

void WaylandDataControlPasteboard::onCancelled(void* data, wl_proxy* source) {
    auto* self = static_cast<WaylandDataControlPasteboard*>(data);
    if (source == self->source_) {
        self->dropSource();
    } else {
        destroy(source, destroySource);
    }
}

void WaylandDataControlPasteboard::dropWrite(Write* write) {
    // Deleted later: this may run inside the write's own notifier.
    auto it = std::find_if(writes_.begin(), writes_.end(), [write](const auto& each) { return each.get() == write; });
    if (it == writes_.end()) return;
    std::unique_ptr<Write> done = std::move(*it);
    writes_.erase(it);
    if (done->notifier) {
        done->notifier->setEnabled(false);
        done->notifier.release()->deleteLater();
    }
}

void WaylandDataControlPasteboard::setSource(wl_proxy* source) {
    dropSource();
    source_ = source;
}

void WaylandDataControlPasteboard::dropSource() {
    if (source_) destroy(source_, destroySource);
    source_ = nullptr;
    text_.clear();
}

void WaylandDataControlPasteboard::clearContents() {
    if (finished_ || connection_->isBroken()) return;
    const std::uint32_t opcode = selection_ == Selection::clipboard ? setSelection : setPrimarySelection;
    wl_proxy_marshal_flags(device_, opcode, nullptr, wl_proxy_get_version(device_), 0, nullptr);
    dropSource();
    // Its selection event is taken now, so that a write right after waits for its own.
    connection_->roundtrip();
}

bool WaylandDataControlPasteboard::setString(const std::string& text) {
    if (finished_ || connection_->isBroken()) return false;
    auto* source = wl_proxy_marshal_flags(manager_, createDataSource, protocol_.source, wl_proxy_get_version(manager_),
                                          0, nullptr);
    static constexpr SourceListener listener{&onSend, &onCancelled};
    listen(source, listener, this);
    for (const char* type : kTextTypes)
        wl_proxy_marshal_flags(source, offerMimeType, nullptr, wl_proxy_get_version(source), 0, type);
    setSource(source);
    text_ = text;
    const unsigned before = selectionChanges_;
    const std::uint32_t opcode = selection_ == Selection::clipboard ? setSelection : setPrimarySelection;
    wl_proxy_marshal_flags(device_, opcode, nullptr, wl_proxy_get_version(device_), 0, source);
    if (!waitForSelectionChange(before) || current_ == nullptr) return false;
    // The compositor named a new selection: it holds our text only if reading it gives that text.
    return read(current_->proxy) == text;
}

std::optional<std::string> WaylandDataControlPasteboard::string() const {
    auto* self = const_cast<WaylandDataControlPasteboard*>(this);
    if (self->finished_ || self->connection_->isBroken()) return std::nullopt;
    self->connection_->roundtrip();
    if (!self->current_) return std::nullopt;
    return self->read(self->current_->proxy);
}

bool WaylandDataControlPasteboard::waitForSelectionChange(unsigned previousChanges) {
    QDeadlineTimer deadline(kAnswerLimit);
    while (selectionChanges_ == previousChanges) {
        if (deadline.hasExpired() || finished_) return false;
        if (!connection_->dispatchOnce(std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0))))
            return false;
    }
    return true;
}

std::optional<std::string> WaylandDataControlPasteboard::read(wl_proxy* offer) {
    const Offer* known = current_ && current_->proxy == offer ? current_.get() : nullptr;
    const char* type = nullptr;
    for (const char* candidate : kTextTypes) {
        if (known && std::find(known->mimeTypes.begin(), known->mimeTypes.end(), candidate) != known->mimeTypes.end()) {
            type = candidate;
            break;
        }
    }
    if (type == nullptr) return std::nullopt;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) return std::nullopt;
    wl_proxy_marshal_flags(offer, receiveOffer, nullptr, wl_proxy_get_version(offer), 0, type, pipe[1]);
    connection_->flush();
    ::close(pipe[1]);  // the request took a copy

    // The owner may be this very object: its writes are served here too, while the text comes in.
    std::string text;
    QDeadlineTimer deadline(kAnswerLimit);
    for (;;) {
        std::vector<pollfd> fds{{pipe[0], POLLIN, 0}};
        for (const auto& write : writes_) fds.push_back({write->fd, POLLOUT, 0});
        const auto wait = std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0));
        if (!connection_->dispatchOnce(wait, fds) || deadline.hasExpired()) break;
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            auto it = std::find_if(writes_.begin(), writes_.end(),
                                   [fd = fds[i].fd](const auto& write) { return write->fd == fd; });
            if (it != writes_.end() && (*it)->proceed()) writes_.erase(it);
        }
        if (fds[0].revents == 0) continue;
        char buffer[4096];
        const ssize_t count = ::read(pipe[0], buffer, sizeof buffer);
        if (count > 0) {
            text.append(buffer, std::size_t(count));
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        ::close(pipe[0]);
        if (count < 0) return std::nullopt;
        return text;
    }
    ::close(pipe[0]);
    return std::nullopt;
}

}  // namespace platform

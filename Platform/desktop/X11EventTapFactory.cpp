#include "Platform/desktop/X11EventTapFactory.h"

#include <bitset>

#include "Platform/desktop/VirtualKeyMap.h"
#include "Platform/desktop/X11Connection.h"

// Xlib after Qt: its macros (Bool, Status, None) clash with Qt headers.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace platform {
namespace {

class X11EventTap : public CGEventTap {
public:
    X11EventTap(std::shared_ptr<X11Connection> connection, CGEventMask mask, CGEventTapCallBack callback)
        : connection_(std::move(connection)), mask_(mask), callback_(std::move(callback)) {
        listenerId_ = connection_->addListener([this](XEvent& event) { handle(event); });
    }

    ~X11EventTap() override {
        setEnabled(false);
        connection_->removeListener(listenerId_);
    }

    void setEnabled(bool enabled) override {
        if (enabled == enabled_) return;
        enabled_ = enabled;
        if (enabled) {
            readKeysDown();
            connection_->retainRawKeyEvents();
        } else {
            connection_->releaseRawKeyEvents();
        }
    }

    bool isEnabled() const override { return enabled_; }

private:
    // Keys held when the tap starts count as down, so their release and the modifier flags come out right.
    void readKeysDown() {
        char keys[32] = {};
        XQueryKeymap(connection_->display(), keys);
        down_.reset();
        for (int code = 0; code < 256; ++code)
            if (keys[code / 8] & (1 << (code % 8))) down_.set(code);
    }

    CGEventFlags currentFlags() const {
        CGEventFlags flags = 0;
        for (int code = 0; code < 256; ++code)
            if (down_.test(code)) flags |= VirtualKeyMap::modifierFlag(code);
        return flags;
    }

    void handle(XEvent& event) {
        if (!enabled_ || event.type != GenericEvent || event.xcookie.extension != connection_->xinputOpcode() ||
            !event.xcookie.data)
            return;
        bool press = event.xcookie.evtype == XI_RawKeyPress;
        if (!press && event.xcookie.evtype != XI_RawKeyRelease) return;
        auto* raw = static_cast<XIRawEvent*>(event.xcookie.data);
        int code = raw->detail;
        if (code < 0 || code > 255) return;

        bool wasDown = down_.test(code);
        down_.set(code, press);

        CGEvent out;
        out.keyCode = VirtualKeyMap::virtualKeyCode(code).value_or(kUnknownVirtualKeyCode);
        out.flags = currentFlags();
        if (VirtualKeyMap::modifierFlag(code)) {
            if (wasDown == press) return;  // no change of this key
            out.type = CGEventType::flagsChanged;
        } else if (press) {
            out.type = CGEventType::keyDown;
            out.autorepeat = wasDown;
        } else {
            if (!wasDown) return;  // a release we never saw pressed
            out.type = CGEventType::keyUp;
        }
        if (mask_ & CGEventMaskBit(out.type)) callback_(out.type, out);
    }

    std::shared_ptr<X11Connection> connection_;
    CGEventMask mask_;
    CGEventTapCallBack callback_;
    int listenerId_ = 0;
    bool enabled_ = false;
    std::bitset<256> down_;
};

}  // namespace

X11EventTapFactory::X11EventTapFactory(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {}

std::unique_ptr<CGEventTap> X11EventTapFactory::createEventTap(CGEventMask mask, CGEventTapCallBack callback) {
    if (!connection_ || connection_->xinputOpcode() < 0 || !callback) return nullptr;
    return std::make_unique<X11EventTap>(connection_, mask, std::move(callback));
}

}  // namespace platform

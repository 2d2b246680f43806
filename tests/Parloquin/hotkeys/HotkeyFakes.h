#pragma once

// Stand-ins for everything around the hotkey manager, recording what it does.

#include <QPointer>
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Parloquin/hotkeys/ApplicationActivation.h"
#include "Parloquin/hotkeys/HotkeyEnvironment.h"
#include "Parloquin/hotkeys/HotkeySettings.h"
#include "Parloquin/hotkeys/TimerScheduler.h"
#include "Platform/desktop/EventTapFactory.h"
#include "Platform/desktop/EventTarget.h"
#include "Platform/desktop/PermissionProbe.h"
#include "tests/Parloquin/services/DesktopFakes.h"

namespace parloquin_test {

using platform::OSStatus;

class MemorySettings : public parloquin::HotkeySettings {
public:
    // The values registered at launch.
    MemorySettings() {
        integers["primaryHotkeyKeyCode"] = 49;
        integers["primaryHotkeyModifiers"] = 768;
        bools["primaryHotkeyIsSingleKey"] = false;
        strings["primaryHotkey"] = "⇧⌘Space";
    }
    std::int64_t integer(std::string_view key) const override {
        auto it = integers.find(std::string(key));
        return it == integers.end() ? 0 : it->second;
    }
    bool boolean(std::string_view key) const override {
        auto it = bools.find(std::string(key));
        return it != bools.end() && it->second;
    }
    std::optional<std::string> string(std::string_view key) const override {
        auto it = strings.find(std::string(key));
        if (it == strings.end()) return std::nullopt;
        return it->second;
    }
    void setInteger(std::string_view key, std::int64_t value) override { integers[std::string(key)] = value; }
    void setBool(std::string_view key, bool value) override { bools[std::string(key)] = value; }

    std::map<std::string, std::int64_t> integers;
    std::map<std::string, bool> bools;
    std::map<std::string, std::string> strings;
};

struct HotKeyRegistration {
    std::uint32_t keyCode;
    std::uint32_t modifiers;
    auto operator<=>(const HotKeyRegistration&) const = default;
};

class FakeEventTarget : public platform::EventTarget {
public:
    OSStatus installEventHandler(std::vector<platform::EventTypeSpec> types, platform::EventHandlerProc handler,
                                 std::unique_ptr<platform::EventHandler>* outRef) override {
        int id = nextId_++;
        handlers_[id] = {std::move(types), std::move(handler)};
        *outRef = std::make_unique<Handle>([this, id] { handlers_.erase(id); });
        return platform::noErr;
    }
    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, platform::EventHotKeyID id,
                                 std::unique_ptr<platform::EventHotKey>* outRef) override {
        HotKeyRegistration key{keyCode, modifiers};
        ++attempts;
        if (refused.count(key) || registered.count(key)) return platform::eventHotKeyExistsErr;
        registered.insert(key);
        *outRef = std::make_unique<HotKey>(id, [this, key] { registered.erase(key); });
        return platform::noErr;
    }
    // The desktop reports a press or release of the registered hot key.
    void fire(std::uint32_t kind, platform::EventHotKeyID id = {platform::fourCharCode("SSPK"), 1}) {
        auto snapshot = handlers_;
        for (auto& [hid, handler] : snapshot) {
            for (auto& t : handler.first)
                if (t.eventClass == platform::kEventClassKeyboard && t.eventKind == kind) handler.second({kind, id});
        }
    }
    std::size_t handlerCount() const { return handlers_.size(); }

    std::set<HotKeyRegistration> refused;
    std::set<HotKeyRegistration> registered;
    int attempts = 0;

private:
    struct Handle : platform::EventHandler {
        explicit Handle(std::function<void()> drop) : drop(std::move(drop)) {}
        ~Handle() override { drop(); }
        std::function<void()> drop;
    };
    struct HotKey : platform::EventHotKey {
        HotKey(platform::EventHotKeyID id, std::function<void()> drop) : id(id), drop(std::move(drop)) {}
        ~HotKey() override { drop(); }
        platform::EventHotKeyID hotKeyID() const override { return id; }
        platform::EventHotKeyID id;
        std::function<void()> drop;
    };
    int nextId_ = 1;
    std::map<int, std::pair<std::vector<platform::EventTypeSpec>, platform::EventHandlerProc>> handlers_;
};

class FakeTapFactory : public platform::EventTapFactory {
public:
    struct Tap : platform::CGEventTap {
        Tap(FakeTapFactory* owner, platform::CGEventMask mask, platform::CGEventTapCallBack callback)
            : owner(owner), mask(mask), callback(std::move(callback)) {
            owner->live.push_back(this);
        }
        ~Tap() override { owner->live.erase(std::find(owner->live.begin(), owner->live.end(), this)); }
        void setEnabled(bool on) override { enabled = on; }
        bool isEnabled() const override { return enabled; }
        FakeTapFactory* owner;
        platform::CGEventMask mask;
        platform::CGEventTapCallBack callback;
        bool enabled = false;
    };

    std::unique_ptr<platform::CGEventTap> createEventTap(platform::CGEventMask mask,
                                                         platform::CGEventTapCallBack callback) override {
        ++created;
        if (fails) return nullptr;
        return std::make_unique<Tap>(this, mask, std::move(callback));
    }
    // Sends an event through the live, enabled tap; returns whether it passed on.
    bool send(platform::CGEvent event) {
        for (Tap* tap : live)
            if (tap->enabled && (tap->mask & platform::CGEventMaskBit(event.type)))
                return tap->callback(event.type, event);
        return true;
    }
    const Tap* current() const { return live.empty() ? nullptr : live.back(); }

    bool fails = false;
    int created = 0;
    std::vector<Tap*> live;
};

// Timers that fire only when the test says so.
class ManualTimers : public parloquin::TimerScheduler {
public:
    struct Entry {
        QPointer<QObject> context;
        std::function<void()> block;
        bool valid = true;
    };
    class Repeating : public parloquin::Timer {
    public:
        explicit Repeating(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
        ~Repeating() override { entry_->valid = false; }
        void invalidate() override { entry_->valid = false; }

    private:
        std::shared_ptr<Entry> entry_;
    };

    std::unique_ptr<parloquin::Timer> scheduledTimer(std::chrono::milliseconds interval, QObject* context,
                                                     std::function<void()> block) override {
        intervals.push_back(interval);
        auto entry = std::make_shared<Entry>(Entry{context, std::move(block)});
        repeating.push_back(entry);
        return std::make_unique<Repeating>(entry);
    }
    void schedule(std::chrono::milliseconds delay, QObject* context, std::function<void()> block) override {
        delays.push_back(delay);
        once.push_back(std::make_shared<Entry>(Entry{context, std::move(block)}));
    }

    // One tick of every running repeating timer.
    void tick() {
        auto snapshot = repeating;
        for (auto& e : snapshot) {
            if (!e->valid || !e->context) continue;
            auto block = e->block;
            block();
        }
    }
    int running() const {
        return int(std::count_if(repeating.begin(), repeating.end(), [](auto& e) { return e->valid && e->context; }));
    }
    void runDelayed() {
        auto snapshot = once;
        once.clear();
        for (auto& e : snapshot)
            if (e->context) e->block();
    }

    std::vector<std::shared_ptr<Entry>> repeating;
    std::vector<std::shared_ptr<Entry>> once;
    std::vector<std::chrono::milliseconds> intervals;
    std::vector<std::chrono::milliseconds> delays;
};

class FakeActivation : public parloquin::ApplicationActivation {
public:
    parloquin::ActivationPolicy activationPolicy() const override { return policy; }
    void setActivationPolicy(parloquin::ActivationPolicy p) override { policy = p; }
    void activateIgnoringOtherApps() override { ++activations; }
    bool hasVisibleTitledWindow() const override { return titledWindowVisible; }

    parloquin::ActivationPolicy policy = parloquin::ActivationPolicy::accessory;
    bool titledWindowVisible = false;
    int activations = 0;
};

// One set of fakes, handed to a manager as its environment.
struct FakeHotkeyDesktop {
    std::shared_ptr<FakeEventTarget> target = std::make_shared<FakeEventTarget>();
    std::shared_ptr<FakeTapFactory> taps = std::make_shared<FakeTapFactory>();
    std::shared_ptr<FakePermissions> permissions = std::make_shared<FakePermissions>();
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::shared_ptr<ManualTimers> timers = std::make_shared<ManualTimers>();
    std::shared_ptr<FakeActivation> application = std::make_shared<FakeActivation>();
    std::vector<std::string> opened;
    bool openSucceeds = false;

    parloquin::HotkeyEnvironment environment() {
        parloquin::HotkeyEnvironment e;
        e.eventTarget = target;
        e.eventTaps = taps;
        e.permissions = permissions;
        e.alerts = alerts;
        e.timers = timers;
        e.application = application;
        e.openURL = [this](const std::string& address) {
            opened.push_back(address);
            return openSucceeds;
        };
        return e;
    }
};

}  // namespace parloquin_test

#include "Parloquin/hotkeys/HotkeyRecorder.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <bit>

#include "Parloquin/hotkeys/HotkeyModifier.h"
#include "Parloquin/hotkeys/KeyNames.h"
#include "Platform/desktop/VirtualKeyMap.h"

namespace parloquin {
namespace {

constexpr std::uint16_t kEscapeKeyCode = 53;

// The modifiers Qt reports, as event flags: Super is ⌘, Alt is ⌥.
platform::CGEventFlags eventFlags(Qt::KeyboardModifiers modifiers) {
    platform::CGEventFlags flags = 0;
    if (modifiers & Qt::ControlModifier) flags |= platform::kCGEventFlagMaskControl;
    if (modifiers & Qt::AltModifier) flags |= platform::kCGEventFlagMaskAlternate;
    if (modifiers & Qt::ShiftModifier) flags |= platform::kCGEventFlagMaskShift;
    if (modifiers & Qt::MetaModifier) flags |= platform::kCGEventFlagMaskCommand;
    return flags;
}

}  // namespace

HotkeyRecorder::HotkeyRecorder(QObject* parent) : QObject(parent) {}

HotkeyRecorder::~HotkeyRecorder() {
    // Gone without a word: whoever owns the recorder is going too.
    if (isRecording_) QCoreApplication::instance()->removeEventFilter(this);
}

void HotkeyRecorder::startRecording(Completion completion) {
    if (isRecording_) return;
    completion_ = std::move(completion);
    isRecording_ = true;
    modifierDownTime_.reset();
    otherKeyPressed_ = false;
    gestureModifiers_ = 0;
    modifierKeysDown_.reset();
    // Every key event of the application's windows passes here first.
    QCoreApplication::instance()->installEventFilter(this);
    emit isRecordingChanged(true);
}

void HotkeyRecorder::stopRecording() {
    if (!isRecording_) return;
    QCoreApplication::instance()->removeEventFilter(this);
    isRecording_ = false;
    completion_ = nullptr;
    modifierDownTime_.reset();
    otherKeyPressed_ = false;
    gestureModifiers_ = 0;
    modifierKeysDown_.reset();
    emit isRecordingChanged(false);
}

std::optional<HotkeyRecorder::Capture> HotkeyRecorder::handleKeyDown(std::uint16_t keyCode,
                                                                     platform::CGEventFlags flags) {
    const std::uint32_t modifiers = HotkeyModifier::carbonMask(flags);
    if (modifiers == 0) return std::nullopt;
    const auto name = keyName(keyCode);
    if (!name) return std::nullopt;
    return Capture{HotkeyModifier::glyphs(modifiers) + std::string(*name), {keyCode, modifiers, false}};
}

bool HotkeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (!isRecording_) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const unsigned native = key->nativeScanCode();
    const bool isModifier = native < 256 && platform::VirtualKeyMap::modifierFlag(native) != 0;

    if (type == QEvent::ShortcutOverride) {
        // Offered to the focused widget before any shortcut: taken here, no shortcut of the
        // application fires while a hotkey is being recorded, and the key comes as a press.
        if (isModifier) return false;
        key->accept();
        return true;
    }
    // A key event reaches the window first, and then the focused widget and its parents: the
    // window alone is looked at, so that each event counts once.
    if (!watched->isWindowType()) return false;
    if (isModifier) {
        if (key->isAutoRepeat()) return false;
        return handleFlagsChanged(native, type == QEvent::KeyPress, key->timestamp());
    }
    if (type == QEvent::KeyPress) return handleKeyDownEvent(*key);
    return false;
}

bool HotkeyRecorder::handleKeyDownEvent(const QKeyEvent& event) {
    otherKeyPressed_ = true;
    const std::uint32_t native = event.nativeScanCode();
    const auto keyCode = platform::VirtualKeyMap::virtualKeyCode(native);
    if (!keyCode) return false;
    const platform::CGEventFlags flags = eventFlags(event.modifiers());
    if (*keyCode == kEscapeKeyCode && HotkeyModifier::carbonMask(flags) == 0) {
        stopRecording();
        return true;
    }
    std::optional<Capture> capture = handleKeyDown(*keyCode, flags);
    if (!capture) return false;
    finish(std::move(*capture));
    return true;
}

bool HotkeyRecorder::handleFlagsChanged(unsigned nativeKeycode, bool down, std::uint64_t timestamp) {
    const platform::CGEventFlags flag = platform::VirtualKeyMap::modifierFlag(nativeKeycode);
    modifierKeysDown_.set(nativeKeycode, down);
    if (down) {
        if (!modifierDownTime_) {
            modifierDownTime_ = timestamp;
            otherKeyPressed_ = false;
            gestureModifiers_ = 0;
        }
        gestureModifiers_ |= flag;
        return false;
    }
    if (modifierKeysDown_.any()) return false;
    if (!modifierDownTime_) return false;

    const auto elapsed = std::chrono::milliseconds(std::int64_t(timestamp) - std::int64_t(*modifierDownTime_));
    // The modifier that went down is the one recorded; two modifiers together are no lone modifier.
    const HotkeyModifier* lone = nullptr;
    if (std::popcount(gestureModifiers_) == 1)
        for (const auto& modifier : HotkeyModifier::all())
            if (modifier.flag == gestureModifiers_) lone = &modifier;
    if (!otherKeyPressed_ && elapsed < singleKeyDetectionWindow && lone) {
        finish(Capture{lone->glyph, {lone->loneKeyCode, lone->carbonBit, true}});
        return true;
    }
    modifierDownTime_.reset();
    otherKeyPressed_ = false;
    gestureModifiers_ = 0;
    return false;
}

void HotkeyRecorder::finish(Capture capture) {
    Completion completion = completion_;
    stopRecording();
    QMetaObject::invokeMethod(
        this,
        [completion = std::move(completion), capture = std::move(capture)] {
            if (completion)
                completion(capture.display, capture.hotkey.keyCode, capture.hotkey.modifiers,
                           capture.hotkey.isSingleKey);
        },
        Qt::QueuedConnection);
}

}  // namespace parloquin

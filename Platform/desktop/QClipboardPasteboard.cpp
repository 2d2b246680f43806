#include "Platform/desktop/QClipboardPasteboard.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include "Platform/desktop/wayland/WaylandConnection.h"
#include "Platform/desktop/wayland/WaylandDataControlPasteboard.h"

namespace platform {
namespace {

// The clipboard exists only in a GUI application; a console application has none.
QClipboard* clipboard() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
    return QGuiApplication::clipboard();
}

// In a Wayland session, the data-control protocol where the compositor offers it: Qt's clipboard
// there reaches other programs only while a window of ours has the keyboard focus, and reads its
// own text back whether or not the compositor took it. Both selections share one connection.
std::shared_ptr<NSPasteboard> waylandPasteboard(WaylandDataControlPasteboard::Selection selection) {
    static const std::shared_ptr<WaylandConnection> connection = WaylandConnection::open();
    if (!connection) return nullptr;
    return WaylandDataControlPasteboard::create(selection, connection);
}

}  // namespace

std::shared_ptr<NSPasteboard> NSPasteboard::general() {
    static const std::shared_ptr<NSPasteboard> pasteboard = [] {
        auto wayland = waylandPasteboard(WaylandDataControlPasteboard::Selection::clipboard);
        return wayland ? wayland : std::make_shared<QClipboardPasteboard>();
    }();
    return pasteboard;
}

std::shared_ptr<NSPasteboard> NSPasteboard::selection() {
    static const std::shared_ptr<NSPasteboard> pasteboard = [] {
        auto wayland = waylandPasteboard(WaylandDataControlPasteboard::Selection::primary);
        return wayland ? wayland : std::make_shared<QClipboardPasteboard>(QClipboard::Selection);
    }();
    return pasteboard;
}

void QClipboardPasteboard::clearContents() {
    if (QClipboard* board = clipboard()) board->clear(mode_);
}

bool QClipboardPasteboard::setString(const std::string& text) {
    QClipboard* board = clipboard();
    if (board == nullptr) return false;
    if (mode_ == QClipboard::Selection && !board->supportsSelection()) return false;
    const QString written = QString::fromStdString(text);
    board->setText(written, mode_);
    // On Qt's Wayland platform the compositor takes a selection only from a client with a focused
    // window, and Qt reads its own text back either way: without the focus the copy never reached
    // anyone.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && QGuiApplication::focusWindow() == nullptr)
        return false;
    // Qt only warns when the desktop refuses the owner change; reading back tells whether another
    // program still holds the clipboard.
    return board->text(mode_) == written;
}

std::optional<std::string> QClipboardPasteboard::string() const {
    QClipboard* board = clipboard();
    if (board == nullptr) return std::nullopt;
    const QString text = board->text(mode_);
    if (text.isNull()) return std::nullopt;
    return text.toStdString();
}

}  // namespace platform

#include "Platform/desktop/QClipboardPasteboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>

namespace platform {
namespace {

// The clipboard exists only in a GUI application; a console application has none.
QClipboard* clipboard() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
    return QGuiApplication::clipboard();
}

}  // namespace

std::shared_ptr<NSPasteboard> NSPasteboard::general() {
    static const std::shared_ptr<NSPasteboard> pasteboard = std::make_shared<QClipboardPasteboard>();
    return pasteboard;
}

void QClipboardPasteboard::clearContents() {
    if (QClipboard* board = clipboard()) board->clear(QClipboard::Clipboard);
}

bool QClipboardPasteboard::setString(const std::string& text) {
    QClipboard* board = clipboard();
    if (board == nullptr) return false;
    board->setText(QString::fromStdString(text), QClipboard::Clipboard);
    return true;
}

std::optional<std::string> QClipboardPasteboard::string() const {
    QClipboard* board = clipboard();
    if (board == nullptr) return std::nullopt;
    const QString text = board->text(QClipboard::Clipboard);
    if (text.isNull()) return std::nullopt;
    return text.toStdString();
}

}  // namespace platform

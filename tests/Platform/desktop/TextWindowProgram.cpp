// A window with a text field for the Wayland tests: on the wayland Qt platform it is a native
// window, on xcb an X window (through XWayland). Its title is its first argument. It reports on
// standard output, one line each:
//   shown                      the window is on screen
//   focus in / focus out       it got or lost the keyboard focus
//   text <UTF-8, %-encoded>    the field's whole text, after every change
//   clipboard <…> / primary <…>   the clipboard's or the primary selection's text, asked for by a
//                              line "clipboard" or "primary" on standard input ("none" when empty)
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QWindow>
#include <cstdio>
#include <unistd.h>

namespace {

void report(const QByteArray& line) {
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray encoded(const QString& text) { return text.toUtf8().toPercentEncoding(); }

void reportSelection(const char* name, QClipboard::Mode mode) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
    if (data == nullptr || !data->hasText()) return report(QByteArray(name) + " none");
    report(QByteArray(name) + " " + encoded(data->text()));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString title = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("Parloquin-Testfenster");
    QGuiApplication::setDesktopFileName(QStringLiteral("parloquin-test-window"));

    QPlainTextEdit field;
    field.setWindowTitle(title);
    field.resize(480, 240);
    QObject::connect(&field, &QPlainTextEdit::textChanged, [&field] { report("text " + encoded(field.toPlainText())); });
    QObject::connect(&application, &QGuiApplication::focusWindowChanged, [&field](QWindow* window) {
        report(window != nullptr && window == field.windowHandle() ? "focus in" : "focus out");
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, count);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QByteArray command = pending.left(end).trimmed();
            if (command == "clipboard") reportSelection("clipboard", QClipboard::Clipboard);
            if (command == "primary") reportSelection("primary", QClipboard::Selection);
        }
    });

    field.show();
    field.activateWindow();
    report("shown");
    return application.exec();
}

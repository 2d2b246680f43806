#include "tests/Platform/desktop/WaylandCompositor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QTemporaryFile>
#include <csignal>

#include "Platform/desktop/wayland/KWinFakeInputKeyboard.h"
#include "Platform/desktop/wayland/WaylandConnection.h"
#include "Platform/desktop/wayland/WaylandVirtualKeyboard.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin_test {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(60);
constexpr auto kXWaylandKeyboardSettle = std::chrono::milliseconds(500);
constexpr auto kNewKeyboardSettle = std::chrono::milliseconds(500);
const QString kMutterService = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString kMutterSession = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");

QString escapedForScript(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return escaped;
}

}  // namespace

const char* WaylandCompositor::name(Kind kind) {
    switch (kind) {
        case Kind::sway: return "sway";
        case Kind::kwin: return "kwin";
        case Kind::mutter: return "mutter";
    }
    return "";
}

WaylandCompositor::WaylandCompositor(Kind kind, Portal portal) : kind_(kind) {
    process_.setProgram(QStringLiteral(PARLOQUIN_SOURCE_DIR "/scripts/wayland-compositor.sh"));
    if (portal == Portal::desktop) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PARLOQUIN_DESKTOP_PORTAL"), QStringLiteral("1"));
        process_.setProcessEnvironment(environment);
    }
    process_.setArguments({QString::fromLatin1(name(kind))});
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start();
    QDeadlineTimer deadline(kStartLimit);
    bool ready = false;
    while (!ready && process_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).trimmed();
            if (line == QLatin1String("ready")) {
                ready = true;
                break;
            }
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            if (equals > 0) variables_.insert(line.left(equals), line.mid(equals + 1));
        }
        if (deadline.hasExpired()) break;
    }
    if (!ready) {
        failure_ = QStringLiteral("%1 did not start: %2")
                       .arg(QString::fromLatin1(name(kind)), QString::fromUtf8(process_.readAllStandardError()));
        variables_.clear();
        return;
    }
    // The keyboard that tests type with is there from the start, as a desktop's is: a seat that
    // gains its first keyboard later makes every client set up its keyboard anew.
    if (!openKeyboard()) failure_ = QStringLiteral("no keyboard to inject keys with");
}

bool WaylandCompositor::openKeyboard() {
    if (kind_ == Kind::mutter) return startMutterSession();
    if (keyboard_) return true;
    auto connection = platform::WaylandConnection::open(value(QStringLiteral("WAYLAND_DISPLAY")).toUtf8().constData());
    if (kind_ == Kind::sway) keyboard_ = platform::WaylandVirtualKeyboard::create(connection);
    if (kind_ == Kind::kwin) keyboard_ = platform::KWinFakeInputKeyboard::create(connection);
    return keyboard_ != nullptr;
}

WaylandCompositor::~WaylandCompositor() {
    keyboard_.reset();
    if (!mutterSession_.isEmpty()) {
        compositorBus().call(
            QDBusMessage::createMethodCall(kMutterService, mutterSession_, kMutterSession, QStringLiteral("Stop")));
    }
    if (!variables_.isEmpty()) QDBusConnection::disconnectFromBus(compositorBus().name());
    if (process_.state() == QProcess::NotRunning) return;
    // The script ends everything it started when it is told to end.
    ::kill(pid_t(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(15000)) {
        ::kill(-pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished(5000);
    }
}

bool WaylandCompositor::isRunning() const {
    return failure_.isEmpty() && !variables_.isEmpty() && process_.state() == QProcess::Running;
}

QProcessEnvironment WaylandCompositor::clientEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = variables_.begin(); it != variables_.end(); ++it) environment.insert(it.key(), it.value());
    return environment;
}

std::unique_ptr<TestTextWindow> WaylandCompositor::openWindow(WindowKind kind, const QString& title) {
    if (!isRunning()) return nullptr;
    QProcessEnvironment environment = clientEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       kind == WindowKind::native ? QStringLiteral("wayland") : QStringLiteral("xcb"));
    auto window = std::make_unique<TestTextWindow>(QStringLiteral(PARLOQUIN_TEXT_WINDOW), kind, title, environment);
    if (!waitUntil([&] { return window->isShown(); }, std::chrono::seconds(20))) return nullptr;
    return window;
}

bool WaylandCompositor::focus(TestTextWindow& window) {
    // A window that has just shown may not be mapped yet: asked again until it has the focus.
    QDeadlineTimer deadline(std::chrono::seconds(15));
    while (!window.hasFocus() && !deadline.hasExpired()) {
        switch (kind_) {
            case Kind::sway: {
                QProcess swaymsg;
                swaymsg.setProcessEnvironment(clientEnvironment());
                swaymsg.start(QStringLiteral("swaymsg"),
                              {QStringLiteral("[title=\"^%1$\"] focus").arg(escapedForScript(window.title()))});
                swaymsg.waitForFinished(10000);
                break;
            }
            case Kind::kwin:
                // KWin 6 names its windows windowList()/activeWindow, 5.27 clientList()/activeClient.
                runKWinScript(QStringLiteral("(function () { const six = typeof workspace.windowList === \"function\";"
                                             "for (const client of (six ? workspace.windowList() : workspace.clientList())) {"
                                             "  if (client.caption !== \"%1\") continue;"
                                             "  if (six) workspace.activeWindow = client; else workspace.activeClient = client;"
                                             "} })();")
                                  .arg(escapedForScript(window.title())));
                break;
            case Kind::mutter:
                break;
        }
        window.waitForFocus(std::chrono::milliseconds(500));
    }
    if (!window.hasFocus()) return false;
    // XWayland takes a moment after the focus came before it passes the compositor's keys on (it
    // sets up the keyboard for the window anew): keys typed at once are lost. Measured: 200 ms on
    // a busy machine was enough.
    if (window.kind() == WindowKind::x11) waitUntil([] { return false; }, kXWaylandKeyboardSettle);
    return true;
}

bool WaylandCompositor::runKWinScript(const QString& script) {
    QTemporaryFile file(QStringLiteral("/tmp/parloquin-kwin-script-XXXXXX.js"));
    if (!file.open()) return false;
    file.write(script.toUtf8());
    file.flush();
    QDBusConnection bus = compositorBus();
    // A name KWin has not seen: it refuses to load a script under a name it still knows.
    static int scripts = 0;
    const QString plugin = QStringLiteral("parloquin-test-%1").arg(++scripts);
    QDBusMessage load = QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                                                       QStringLiteral("org.kde.kwin.Scripting"),
                                                       QStringLiteral("loadScript"));
    load << file.fileName() << plugin;
    QDBusReply<int> id = bus.call(load);
    if (!id.isValid() || id.value() < 0) return false;
    // KWin 5.27 puts a loaded script at /<id>, Plasma 6 at /Scripting/Script<id>.
    bool ran = false;
    for (const QString& path : {QStringLiteral("/%1").arg(id.value()), QStringLiteral("/Scripting/Script%1").arg(id.value())}) {
        QDBusMessage run = QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), path,
                                                          QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
        if (bus.call(run).type() != QDBusMessage::ErrorMessage) {
            ran = true;
            break;
        }
    }
    QDBusMessage unload = QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                                                         QStringLiteral("org.kde.kwin.Scripting"),
                                                         QStringLiteral("unloadScript"));
    unload << plugin;
    bus.call(unload);
    return ran;
}

bool WaylandCompositor::sendKey(std::uint32_t evdevCode, bool pressed) {
    if (!isRunning()) return false;
    if (kind_ == Kind::mutter) return startMutterSession() && sendMutterKey(evdevCode, pressed);
    return openKeyboard() && keyboard_->sendKey(evdevCode, pressed);
}

bool WaylandCompositor::pressChord(const std::vector<std::uint32_t>& evdevCodes) {
    bool sent = true;
    for (std::uint32_t code : evdevCodes) sent = sendKey(code, true) && sent;
    for (auto it = evdevCodes.rbegin(); it != evdevCodes.rend(); ++it) sent = sendKey(*it, false) && sent;
    return sent;
}

QDBusConnection WaylandCompositor::compositorBus() const {
    return QDBusConnection::connectToBus(value(QStringLiteral("PARLOQUIN_COMPOSITOR_BUS")),
                                         QStringLiteral("parloquin-test-compositor-%1").arg(quintptr(this)));
}

bool WaylandCompositor::startMutterSession() {
    if (!mutterSession_.isEmpty()) return true;
    QDBusConnection bus = compositorBus();
    QDBusReply<QDBusObjectPath> session = bus.call(QDBusMessage::createMethodCall(
        kMutterService, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), kMutterService,
        QStringLiteral("CreateSession")));
    if (!session.isValid()) return false;
    const QDBusMessage started = bus.call(
        QDBusMessage::createMethodCall(kMutterService, session.value().path(), kMutterSession, QStringLiteral("Start")));
    if (started.type() == QDBusMessage::ErrorMessage) return false;
    mutterSession_ = session.value().path();
    // Mutter makes the session's keyboard with its first key, and the seat's first keyboard at
    // that: a Shift tap makes it, and clients set up their keyboards for it before keys count.
    const bool made = sendMutterKey(42, true) && sendMutterKey(42, false);
    waitUntil([] { return false; }, kNewKeyboardSettle);
    return made;
}

bool WaylandCompositor::sendMutterKey(std::uint32_t evdevCode, bool pressed) {
    QDBusMessage key = QDBusMessage::createMethodCall(kMutterService, mutterSession_, kMutterSession,
                                                      QStringLiteral("NotifyKeyboardKeycode"));
    key << evdevCode << pressed;
    return compositorBus().call(key).type() != QDBusMessage::ErrorMessage;
}

std::string WaylandCompositor::readClipboard(bool primary) {
    if (!isRunning()) return {};
    QProcess paste;
    paste.setProcessEnvironment(clientEnvironment());
    QStringList arguments{QStringLiteral("--no-newline")};
    if (primary) arguments << QStringLiteral("--primary");
    paste.start(QStringLiteral("wl-paste"), arguments);
    if (!waitUntil([&] { return paste.state() == QProcess::NotRunning; }, std::chrono::seconds(10))) {
        paste.kill();
        paste.waitForFinished(2000);
        return {};
    }
    if (paste.exitStatus() != QProcess::NormalExit || paste.exitCode() != 0) return {};
    return paste.readAllStandardOutput().toStdString();
}

TestTextWindow::TestTextWindow(const QString& program, WaylandCompositor::WindowKind kind, const QString& title,
                               const QProcessEnvironment& environment)
    : kind_(kind), title_(title) {
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { readLines(); });
    process_.start(program, {title});
}

TestTextWindow::~TestTextWindow() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void TestTextWindow::readLines() {
    while (process_.canReadLine()) {
        const QByteArray line = process_.readLine().trimmed();
        const qsizetype space = line.indexOf(' ');
        const QByteArray word = space < 0 ? line : line.left(space);
        const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1);
        if (line == "shown") shown_ = true;
        else if (line == "focus in") focused_ = true;
        else if (line == "focus out") focused_ = false;
        else if (word == "text") text_ = QByteArray::fromPercentEncoding(rest).toStdString();
        else answers_.emplace_back(word, rest);
    }
}

bool TestTextWindow::waitForFocus(std::chrono::milliseconds limit) {
    return waitUntil([this] { return focused_; }, limit);
}

bool TestTextWindow::waitForText(const std::string& text, std::chrono::milliseconds limit) {
    return waitUntil([&] { return text_ == text; }, limit);
}

std::string TestTextWindow::readClipboard(bool primary) {
    const QByteArray question = primary ? QByteArray("primary") : QByteArray("clipboard");
    answers_.clear();
    process_.write(question + "\n");
    if (!waitUntil([&] { return !answers_.empty(); }, std::chrono::seconds(10))) return {};
    const auto answer = answers_.front();
    if (answer.first != question || answer.second == "none") return {};
    return QByteArray::fromPercentEncoding(answer.second).toStdString();
}

}  // namespace parloquin_test

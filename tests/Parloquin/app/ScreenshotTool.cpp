// Renders pictures of the shell's windows for a person to look at:
//   parloquin_screenshots <folder>
// Each window is drawn over a plain desktop backdrop, the way it would sit on a screen.
#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

#include "Parloquin/app/FloatingDictationControlWindow.h"
#include "Parloquin/app/QtRecordingOverlayWindow.h"

namespace {

QPixmap onBackdrop(QWidget* widget, int margin) {
    widget->ensurePolished();
    const QPixmap content = widget->grab();
    QPixmap picture(content.width() + 2 * margin, content.height() + 2 * margin);
    QPainter painter(&picture);
    QLinearGradient backdrop(0, 0, picture.width(), picture.height());
    backdrop.setColorAt(0, QColor(96, 125, 160));
    backdrop.setColorAt(1, QColor(178, 196, 214));
    painter.fillRect(picture.rect(), backdrop);
    painter.drawPixmap(margin, margin, content);
    return picture;
}

bool save(const QPixmap& picture, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    if (!picture.save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(".")) return 1;
    bool ok = true;

    float level = 0.6f;
    parloquin::QtRecordingOverlayWindow overlay([&] { return level; });
    auto* view = overlay.view();
    view->setJitter([] { return 0.0; });
    const float levels[] = {0.2f, 0.5f, 0.9f, 0.4f, 0.7f, 1.0f, 0.3f, 0.6f};
    for (float l : levels) {
        level = l;
        view->updateWaveform();
    }
    view->resize(overlay.panel()->size());
    overlay.panel()->show();
    view->stopUpdating();
    view->setElapsedTimeForDisplay(83.4);
    QApplication::processEvents();
    ok &= save(onBackdrop(overlay.panel(), 24), folder, "overlay.png");

    parloquin::FloatingDictationControlWindow button({});
    button.panel()->show();
    struct State {
        bool recording, processing;
        const char* name;
    };
    for (const State& state : {State{false, false, "floating-button-idle.png"},
                               State{true, false, "floating-button-recording.png"},
                               State{false, true, "floating-button-processing.png"}}) {
        button.view()->setServiceState(state.recording, state.processing);
        ok &= save(onBackdrop(button.panel(), 24), folder, state.name);
    }
    return ok ? 0 : 1;
}

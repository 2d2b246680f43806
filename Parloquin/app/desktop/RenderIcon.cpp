// Renders the application icon from its SVG into PNG files of the hicolor theme's sizes:
//   parloquin-render-icon ICON.svg OUTPUT-FOLDER SIZE...
// writes OUTPUT-FOLDER/SIZExSIZE/apps/<name of the SVG>.png for each size.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ICON.svg OUTPUT-FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString source = QString::fromLocal8Bit(argv[1]);
    QSvgRenderer renderer(source);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: not an SVG image that can be drawn\n", argv[1]);
        return 1;
    }
    const QString name = QFileInfo(source).completeBaseName();
    for (int i = 3; i < argc; ++i) {
        bool isNumber = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
        if (!isNumber || size <= 0 || size > 4096) {
            std::fprintf(stderr, "%s: not an icon size\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        const QString target = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !image.save(target, "PNG")) {
            std::fprintf(stderr, "%s: could not be written\n", qPrintable(target));
            return 1;
        }
    }
    return 0;
}

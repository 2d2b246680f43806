#include "Parloquin/views/TextStyle.h"

#include <QGuiApplication>

namespace parloquin {
namespace {

QFont scaled(double factor, QFont::Weight weight = QFont::Normal) {
    QFont font = QGuiApplication::font();
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(size * factor);
    font.setWeight(weight);
    return font;
}

}  // namespace

QFont TextStyle::title() { return scaled(1.7, QFont::Bold); }
QFont TextStyle::title2() { return scaled(1.3, QFont::Bold); }
QFont TextStyle::headline() { return scaled(1.0, QFont::DemiBold); }
QFont TextStyle::body() { return scaled(1.0); }
QFont TextStyle::caption() { return scaled(0.9); }
QFont TextStyle::caption2() { return scaled(0.85); }

QFont TextStyle::sized(double points, QFont::Weight weight) { return scaled(points / 13.0, weight); }

}  // namespace parloquin

#pragma once

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace parloquin {

// Explanations in the secondary colour, wrapped to the width they are given.
struct SecondaryText {
    static QLabel* label(const QString& text, const QFont& font, QWidget* parent);
};

}  // namespace parloquin

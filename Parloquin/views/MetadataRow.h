#pragma once

#include <QWidget>

class QLabel;

namespace parloquin {

// One line of the detail sheet's card: the label at the leading edge, the value at the trailing
// edge.
class MetadataRow : public QWidget {
    Q_OBJECT

public:
    MetadataRow(const QString& label, const QString& value, QWidget* parent = nullptr);

    QLabel* label() const { return label_; }
    QLabel* value() const { return value_; }

private:
    QLabel* label_;
    QLabel* value_;
};

}  // namespace parloquin

#pragma once

#include <QButtonGroup>
#include <QString>
#include <QWidget>
#include <vector>

#include "Parloquin/views/SettingOption.h"

class QPushButton;

namespace parloquin {

// A row of segments of which one is chosen, each standing for a stored value. A value that no
// segment stands for leaves every segment unchosen.
class SegmentedPicker : public QWidget {
    Q_OBJECT
public:
    struct Option {
        QString label;
        QString value;
    };

    explicit SegmentedPicker(std::vector<Option> options, QWidget* parent = nullptr);
    // One segment per choice of a setting, in order.
    static std::vector<Option> segments(const std::vector<SettingOption>& options);

    QString value() const;
    // Shows the value as chosen; says nothing.
    void setValue(const QString& value);
    const std::vector<Option>& options() const { return options_; }
    QPushButton* segment(const QString& value) const;

signals:
    // The user chose the segment of this value.
    void valueChosen(const QString& value);

private:
    std::vector<Option> options_;
    QButtonGroup group_;
};

}  // namespace parloquin

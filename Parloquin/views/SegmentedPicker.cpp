#include "Parloquin/views/SegmentedPicker.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace parloquin {
namespace {

// Segments joined into one rounded bar; the chosen one in the accent colour.
const char* const kStyleSheet = R"(
QPushButton {
    background: palette(button);
    color: palette(button-text);
    border: 1px solid palette(mid);
    border-left: none;
    padding: 4px 10px;
    min-height: 18px;
}
QPushButton#first { border-left: 1px solid palette(mid); border-top-left-radius: 5px; border-bottom-left-radius: 5px; }
QPushButton#last { border-top-right-radius: 5px; border-bottom-right-radius: 5px; }
QPushButton:hover { background: palette(midlight); }
QPushButton:checked { background: palette(highlight); color: palette(highlighted-text); border-color: palette(highlight); }
QPushButton:focus { border-color: palette(highlight); }
QPushButton:disabled { color: palette(mid); }
QPushButton:checked:disabled { background: palette(mid); color: palette(button); border-color: palette(mid); }
)";

}  // namespace

SegmentedPicker::SegmentedPicker(std::vector<Option> options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
    setStyleSheet(QString::fromLatin1(kStyleSheet));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    group_.setExclusive(true);
    for (std::size_t i = 0; i < options_.size(); ++i) {
        auto* button = new QPushButton(options_[i].label, this);
        button->setCheckable(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setObjectName(i == 0 ? QStringLiteral("first")
                              : i + 1 == options_.size() ? QStringLiteral("last")
                                                         : QStringLiteral("middle"));
        group_.addButton(button, int(i));
        layout->addWidget(button);
    }
    connect(&group_, &QButtonGroup::idClicked, this, [this](int id) { emit valueChosen(options_[id].value); });
}

std::vector<SegmentedPicker::Option> SegmentedPicker::segments(const std::vector<SettingOption>& options) {
    std::vector<Option> segments;
    for (const auto& option : options) segments.push_back({QString::fromUtf8(option.label), QString::fromUtf8(option.value)});
    return segments;
}

QString SegmentedPicker::value() const {
    const int id = group_.checkedId();
    return id < 0 ? QString() : options_[id].value;
}

void SegmentedPicker::setValue(const QString& value) {
    QPushButton* chosen = segment(value);
    if (chosen) {
        chosen->setChecked(true);
        return;
    }
    // An exclusive group cannot be emptied by unchecking: leave it open for a moment.
    group_.setExclusive(false);
    for (QAbstractButton* button : group_.buttons()) button->setChecked(false);
    group_.setExclusive(true);
}

QPushButton* SegmentedPicker::segment(const QString& value) const {
    for (std::size_t i = 0; i < options_.size(); ++i)
        if (options_[i].value == value) return static_cast<QPushButton*>(group_.button(int(i)));
    return nullptr;
}

}  // namespace parloquin

#pragma once

#include <QAbstractButton>
#include <string>

namespace parloquin {

// One preset of the hotkeys page: a round mark (ticked in the accent colour when it is the chosen
// hotkey), the preset's glyphs and what it is. A click applies it (the clicked signal).
class HotkeyPresetRow : public QAbstractButton {
public:
    // The title as shown, and the preset's display text as stored.
    HotkeyPresetRow(const QString& title, const QString& description, std::string preset, QWidget* parent = nullptr);

    const QString& title() const { return title_; }
    const std::string& preset() const { return preset_; }
    const QString& description() const { return description_; }
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont titleFont() const;

    QString title_;
    QString description_;
    std::string preset_;
    bool selected_ = false;
};

}  // namespace parloquin

#pragma once

#include "Parloquin/views/MetricCard.h"
#include "Parloquin/views/RoundedPanel.h"

class QLabel;

namespace parloquin {

// A card of the statistics page: the symbol in the card's tint, the value large, the title below.
class MetricCardView : public RoundedPanel {
    Q_OBJECT

public:
    explicit MetricCardView(const MetricCard& card, QWidget* parent = nullptr);

    const MetricCard& card() const { return card_; }
    QLabel* valueLabel() const { return value_; }

    static QColor color(MetricCard::Tint tint);

private:
    MetricCard card_;
    QLabel* value_;
};

}  // namespace parloquin

#include "Parloquin/views/SystemInfoView.h"

#include <QGridLayout>
#include <QLabel>
#include <cmath>

#include "Parloquin/views/DiagnosticsReport.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

std::vector<SystemInfoRow> SystemInfoView::rows(const platform::HostDescription& host) {
    const double hours = host.systemUptime / 3600.0;
    const long long wholeHours = std::isfinite(hours) && hours > 0 ? static_cast<long long>(hours) : 0;
    return {
        {"Gerät", DiagnosticsReport::deviceName(host)},
        {"Linux", host.operatingSystemVersionString},
        {"Prozessoren", std::to_string(host.processorCount)},
        {"Arbeitsspeicher", DiagnosticsReport::memoryText(host.physicalMemory)},
        {"Betriebszeit", std::to_string(wholeHours) + " Stunden"},
    };
}

SystemInfoView::SystemInfoView(const platform::HostDescription& host, QWidget* parent)
    : SheetView(QStringLiteral("Systeminformationen"), parent) {
    const ThemeColors& colors = ThemeColors::shared();
    auto* card = new RoundedPanel(ThemeColors::withAlpha(colors.secondary, 0.05), 8, 16, this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(12);
    int line = 0;
    for (const SystemInfoRow& row : rows(host)) {
        auto* label = new QLabel(QString::fromStdString(row.label), card);
        QPalette secondary = label->palette();
        secondary.setColor(QPalette::WindowText, colors.secondary);
        label->setPalette(secondary);
        auto* value = new QLabel(QString::fromStdString(row.value), card);
        QFont medium = TextStyle::body();
        medium.setWeight(QFont::Medium);
        value->setFont(medium);
        value->setWordWrap(true);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setAccessibleName(label->text());
        grid->addWidget(label, line, 0, Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(value, line, 1);
        ++line;
    }
    grid->setColumnStretch(1, 1);
    static_cast<QVBoxLayout*>(card->layout())->addLayout(grid);
    contentLayout()->addWidget(card);
    contentLayout()->addStretch(1);
    resize(520, 360);
}

}  // namespace parloquin

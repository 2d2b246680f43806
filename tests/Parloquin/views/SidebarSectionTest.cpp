#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QLabel>
#include <string>
#include <vector>

#include "Parloquin/views/SidebarItemView.h"
#include "Parloquin/views/SidebarSection.h"
#include "Parloquin/views/SymbolIcon.h"

namespace {

using parloquin::SidebarSection;

struct Row {
    SidebarSection section;
    std::string title, icon, subtitle, shownTitle;
};

const std::vector<Row> kSections = {
    {SidebarSection::general, "Allgemein", "gearshape.fill", "Standardwerte, Analysen", "ALLGEMEIN"},
    {SidebarSection::file, "Datei", "doc.badge.plus", "Audiodatei importieren und transkribieren", "DATEI"},
    {SidebarSection::hotkeys, "Tastenkürzel", "keyboard.fill", "Aufnahme-Tastenkürzel und Aufnahmeverhalten",
     "TASTENKÜRZEL"},
    {SidebarSection::audio, "Audio", "mic.fill", "Eingabegerät und Mikrofon-Test", "AUDIO"},
    {SidebarSection::statistics, "Statistiken", "chart.bar.fill", "Nutzungsstatistiken und Produktivitätsmetriken",
     "STATISTIKEN"},
    {SidebarSection::history, "Verlauf", "clock.fill", "Transkriptionsverlauf und Zwischenablage", "VERLAUF"},
    {SidebarSection::other, "Sonstiges", "info.circle.fill", "Datenschutz, Lizenzen und Bedingungen", "SONSTIGES"},
};

// Pixels that are not transparent.
int paintedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) > 0;
    return count;
}

TEST(SidebarSectionTest, SectionsInOrderWithTitleIconAndSubtitle) {
    ASSERT_EQ(parloquin::allSidebarSections.size(), kSections.size());
    for (std::size_t i = 0; i < kSections.size(); ++i) {
        const Row& row = kSections[i];
        SCOPED_TRACE(row.title);
        EXPECT_EQ(parloquin::allSidebarSections[i], row.section);
        EXPECT_EQ(parloquin::rawValue(row.section), row.title);
        EXPECT_EQ(parloquin::iconName(row.section), row.icon);
        EXPECT_EQ(parloquin::subtitle(row.section), row.subtitle);
        // Found by its title as written, not by the capitals the sidebar shows.
        EXPECT_EQ(parloquin::sidebarSection(row.title), row.section);
        EXPECT_EQ(parloquin::sidebarSection(row.shownTitle), std::nullopt);

        parloquin::SidebarItemView item(row.section);
        EXPECT_EQ(item.titleLabel()->text().toStdString(), row.shownTitle);
    }
    EXPECT_EQ(parloquin::sidebarSection(""), std::nullopt);
    EXPECT_FALSE(parloquin::isSidebarSection(static_cast<SidebarSection>(42)));
}

// A bare desktop has no icon theme: every symbol the pages use has a drawing of its own, and the
// drawing in one colour keeps its shape.
TEST(SidebarSectionTest, EverySymbolCanBeDrawnWithoutAnIconTheme) {
    std::vector<std::string> symbols;
    for (const Row& row : kSections) symbols.push_back(row.icon);
    symbols.push_back("exclamationmark.triangle.fill");
    for (const auto& symbol : symbols) {
        SCOPED_TRACE(symbol);
        EXPECT_FALSE(parloquin::SymbolIcon::themeNames(symbol).isEmpty());
        const QImage fallback = QIcon(parloquin::SymbolIcon::fallbackPath(symbol)).pixmap(32, 32).toImage();
        ASSERT_FALSE(fallback.isNull());
        EXPECT_GT(paintedPixels(fallback), 32 * 32 / 8);

        const QImage tinted = parloquin::SymbolIcon::pixmap(symbol, 16, QColor(240, 148, 0), 2.0).toImage();
        ASSERT_EQ(tinted.size(), QSize(32, 32));
        bool onlyTint = true;
        for (int y = 0; y < tinted.height(); ++y)
            for (int x = 0; x < tinted.width(); ++x) {
                const QColor pixel = tinted.pixelColor(x, y);
                if (pixel.alpha() == 255) onlyTint &= pixel.rgb() == QColor(240, 148, 0).rgb();
            }
        EXPECT_TRUE(onlyTint);
        EXPECT_GT(paintedPixels(tinted), 0);
    }
}

}  // namespace

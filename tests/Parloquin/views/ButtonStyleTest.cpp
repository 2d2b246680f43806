#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <memory>
#include <vector>

#include "Parloquin/views/DestructiveButtonStyle.h"
#include "Parloquin/views/PrimaryButtonStyle.h"
#include "Parloquin/views/SecondaryButtonStyle.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/ThemeColors.h"

namespace {

using parloquin::ButtonStyle;
using parloquin::StyledButton;
using parloquin::ThemeColors;

struct Case {
    const char* name;
    std::shared_ptr<const ButtonStyle> style;
    QColor fill, text;
};

std::vector<Case> cases() {
    const ThemeColors& colors = ThemeColors::shared();
    return {
        {"primary", std::make_shared<parloquin::PrimaryButtonStyle>(), colors.accentColor, Qt::white},
        {"secondary", std::make_shared<parloquin::SecondaryButtonStyle>(), colors.controlColor, colors.primary},
        {"destructive", std::make_shared<parloquin::DestructiveButtonStyle>(), colors.red, Qt::white},
    };
}

// The colour in the fill, away from the label and the rounded corners, over a black backdrop.
QColor fillPixel(StyledButton& button) {
    QImage image(button.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    button.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.pixelColor(8, button.height() / 2);
}

QColor over(const QColor& colour, qreal opacity) {
    return QColor::fromRgbF(colour.redF() * float(opacity), colour.greenF() * float(opacity),
                            colour.blueF() * float(opacity));
}

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

TEST(ButtonStyleTest, EachStyleFillsWithItsColourAndFadesWhilePressedOrDisabled) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.style->fillColor(), c.fill);
        EXPECT_EQ(c.style->textColor(), c.text);

        StyledButton button("Einstellungen zurücksetzen", c.style);
        button.resize(button.sizeHint());
        // The label padded 16 by 8; the fill reaches the edges.
        EXPECT_EQ(button.sizeHint(), ButtonStyle::sizeForLabel(button.fontMetrics(), button.text()));
        EXPECT_EQ(ButtonStyle::sizeForLabel(button.fontMetrics(), button.text()),
                  QSize(button.fontMetrics().horizontalAdvance(button.text()) + 32, button.fontMetrics().height() + 16));

        EXPECT_TRUE(near(fillPixel(button), c.fill)) << fillPixel(button).name().toStdString();
        button.setDown(true);
        EXPECT_TRUE(near(fillPixel(button), over(c.fill, 0.8))) << fillPixel(button).name().toStdString();
        button.setDown(false);
        EXPECT_TRUE(near(fillPixel(button), c.fill));
        // A disabled button is faded, pressed or not.
        button.setEnabled(false);
        EXPECT_TRUE(near(fillPixel(button), over(c.fill, 0.4))) << fillPixel(button).name().toStdString();
        button.setDown(true);
        EXPECT_TRUE(near(fillPixel(button), over(c.fill, 0.4))) << fillPixel(button).name().toStdString();
    }
}

TEST(ButtonStyleTest, AStyledButtonIsAnOrdinaryButtonToTheUser) {
    int clicks = 0;
    StyledButton button("Zurücksetzen", std::make_shared<parloquin::DestructiveButtonStyle>());
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(button.text(), "Zurücksetzen");  // what assistive technology reads
}

}  // namespace

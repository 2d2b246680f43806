#include "Parloquin/app/StatusIcons.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

namespace {

using parloquin::StatusIcons;
using parloquin::StatusImage;

// How many pixels of the icon drawn at this size are not transparent.
int paintedPixels(const QIcon& icon, int size) {
    const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) painted += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return painted;
}

// Without the installed icon theme (a build tree, the tests' session) windows still show the
// application's own picture, the one the menu entry has: a filled tile, not the tray's glyph.
TEST(StatusIconsTest, WindowsShowTheApplicationsIconWhereNoThemeHasIt) {
    const QIcon application = StatusIcons::applicationIcon();
    ASSERT_FALSE(application.isNull());
    const int painted = paintedPixels(application, 48);
    EXPECT_GT(painted, 48 * 48 / 2);
    const QImage tray = StatusIcons::icon(StatusImage::menuBarIcon).pixmap(48, 48).toImage();
    EXPECT_NE(application.pixmap(48, 48).toImage(), tray);
}

}  // namespace

#pragma once

class QScrollArea;
class QString;
class QVBoxLayout;
class QWidget;

namespace parloquin {

// How the pages lay out their content.
struct PageLayout {
    static constexpr int padding = 32;

    // A column without margins.
    static QVBoxLayout* column(QWidget* widget, int spacing);
    // Makes the scroll area a page that scrolls up and down, without a frame, over the content
    // area's background. Returns the column of its content widget (named `name`), padded on all
    // edges.
    static QVBoxLayout* scrollingPage(QScrollArea* area, const QString& name, int spacing);
    // A section's title and, when there is one, the line that explains it, 4 apart.
    static QWidget* sectionHeader(const char* title, const char* explanation, QWidget* parent);
    // A section: its header, then what the page adds to its column, the given spacing apart.
    static QWidget* section(const char* title, const char* explanation, int spacing, QWidget* parent);
};

}  // namespace parloquin

#pragma once

class QDialog;

namespace parloquin {

// How the pages show a sheet: modal over their window, without blocking the caller, and gone
// once closed.
struct SheetPresentation {
    static void open(QDialog* sheet);
};

}  // namespace parloquin

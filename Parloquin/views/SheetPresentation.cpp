#include "Parloquin/views/SheetPresentation.h"

#include <QDialog>

namespace parloquin {

void SheetPresentation::open(QDialog* sheet) {
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
}

}  // namespace parloquin

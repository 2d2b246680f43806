#include <QApplication>
#include <clocale>

#include "Parloquin/app/ParloquinApp.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // QApplication takes the user's locale for everything; numbers in files and library texts are
    // written in the C locale.
    std::setlocale(LC_NUMERIC, "C");

    parloquin::ParloquinApp parloquin;
    parloquin.launch();
    return application.exec();
}

#include "app/mytablecontroller.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarry Recovery"));
    quarry::app::MyTableController controller;
    controller.awakeFromNib();
    return QApplication::exec();
}

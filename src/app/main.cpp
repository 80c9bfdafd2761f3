#include "app/mytablecontroller.h"
#include "app/root_guard.h"
#include "media/ui/udisks/udisks_enumerator.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (quarry::app::checkRootStart() == quarry::app::RootStart::Refuse)
        return 1;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarry Recovery"));
    quarry::udisks::useUDisksWhenPresent();
    quarry::app::MyTableController controller;
    controller.awakeFromNib();
    return QApplication::exec();
}

#include "cli/carve_main.h"

#include <iostream>

#if defined(QUARRY_WITH_UDISKS)
#include "media/ui/udisks/polkit_tty_agent.h"
#include "media/ui/udisks/udisks_enumerator.h"

#include <QCoreApplication>
#include <clocale>
#include <string>
#endif

int main(int argc, char** argv) {
#if defined(QUARRY_WITH_UDISKS)
    // Qt D-Bus wants an application object; the carver keeps the C locale it always had.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    const QCoreApplication qt(argc, argv);
    std::setlocale(LC_ALL, locale.c_str());
    // In a terminal with no desktop agent, the password is asked right there.
    quarry::udisks::PolkitTtyAgent agent;
    quarry::udisks::useUDisksWhenPresent([&agent] { agent.ensureStarted(); });
#endif
    return quarry::cli::carve_main(std::cout, std::cerr, argc, argv);
}

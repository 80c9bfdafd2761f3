#include "cli/carve_main.h"

#include <iostream>

int main(int argc, char** argv) {
    return quarry::cli::carve_main(std::cout, std::cerr, argc, argv);
}

#include <iostream>

#include "cli/Command.h"

int main(int argc, char** argv) {
    return vellumin::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

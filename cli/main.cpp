#include <iostream>

#include "cli/Command.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return vellumin::cli::RunCli(arguments, std::cout, std::cerr);
}

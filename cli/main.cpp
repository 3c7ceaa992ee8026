#include <iostream>

#include "cli/Command.h"
#include "cli/Interrupt.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    const int code = vellumin::cli::RunCli(arguments, std::cout, std::cerr);
    // A termination held or turned into a cancel takes effect now that the report is out.
    vellumin::cli::EndByDeferredSignal();
    return code;
}

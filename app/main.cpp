#include <iostream>
#include <string>
#include <vector>

#include <QApplication>

#include "app/CVelluminApp.h"

int main(int argc, char** argv) {
    // Answered before Qt looks for a display, so it works on a bare terminal too.
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::cout << vellumin::app::CVelluminApp::Usage();
            return 0;
        }
    }
    QApplication qt(argc, argv);
    std::vector<std::string> arguments(argv, argv + argc);
    vellumin::app::CVelluminApp app;
    app.RunStartUp(arguments);
    return app.ExitCode();
}

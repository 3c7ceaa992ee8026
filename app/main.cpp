#include <string>
#include <vector>

#include <QApplication>

#include "app/CVelluminApp.h"

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    std::vector<std::string> arguments(argv, argv + argc);
    CVelluminApp app;
    app.RunStartUp(arguments);
    return app.ExitCode();
}

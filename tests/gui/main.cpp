#include <cstdlib>

#include <QApplication>
#include <gtest/gtest.h>

// The platform must be chosen before the application object exists, and test discovery
// runs this binary too.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

// The main of every GoogleTest program: a QApplication first, so that tests may create
// windows and message boxes (on the offscreen platform).
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Tests never need a display, also when the build lists them.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

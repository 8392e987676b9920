#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The widgets are drawn off screen unless a platform is asked for explicitly.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include <QCoreApplication>

#include <gtest/gtest.h>

// The serial port delivers its signals through the event loop, so the tests need an application.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

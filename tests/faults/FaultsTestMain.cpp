// The work manager needs an event loop for its queued signals: every test runs under one
// QCoreApplication. The engine tests do not use it.

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

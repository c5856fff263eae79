#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

// Every test builds its own application object (see AppTest): start-up is what is tested.
int main(int argc, char* argv[])
{
    // Widgets need a platform even when the tests are only listed; never open a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

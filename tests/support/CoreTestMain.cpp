// Main of the core's test programs: a QCoreApplication only, which proves the
// core needs no window; Qt's test mode for standard paths (never the real
// user's folders) and the dummy sound driver.
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

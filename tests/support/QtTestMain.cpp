// GoogleTest entry for suites that need Qt's event loop: posted events are delivered only while a
// QCoreApplication exists. Linked as an object library so that it takes the place of gtest_main.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

// GoogleTest entry for the window suites: widgets need a QApplication.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/Accessibility.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    ui::InstallAccessibility();
    return RUN_ALL_TESTS();
}

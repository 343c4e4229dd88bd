// Test main for the windows: one QApplication for every test, boxes in test
// mode so that nothing modal ever waits for a user.
#include <gtest/gtest.h>

#include <QApplication>

#include "forms/MessageBox.h"

int main(int argc, char** argv) {
    // Headless unless a display platform was chosen (screenshots under Xvfb).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Aktarım"));
    // Closing a window must not end a later test's event loop.
    QApplication::setQuitOnLastWindowClosed(false);
    aktarim::MessageBox::setTestMode(true);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

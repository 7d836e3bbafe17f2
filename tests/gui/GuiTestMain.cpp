#include <gtest/gtest.h>

#include <QApplication>

#include "app/PromptWindows.h"
#include "ui/Skin.h"

int main(int argc, char** argv) {
    // Every GUI test runs on the offscreen platform unless the caller chose another.
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    kavelo::ApplySkinStyle(app);
    kavelo::InstallPromptWindows();
    return RUN_ALL_TESTS();
}

// The main window as a window: what closes it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainWnd.h"
#include "sim/VirtualAmplifier.h"
#include "ui/LanguageService.h"
#include "ui/Prompts.h"

namespace kavelo {
namespace {

// No prompt may block these tests; every one is answered "cancel".
class CancelPrompts : public PromptOpener {
public:
    int Message(QWidget*, const QString&, const QString&, const QString[3], int) override {
        return 0;
    }
};

class MainFrame : public ::testing::Test {
protected:
    void SetUp() override {
        previous = SetPromptOpener(&prompts);
        amp.Unplug();
        ASSERT_TRUE(window.Create(QStringLiteral("Kavelo DSP Audio")));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override {
        SetPromptOpener(previous);
        LanguageService::Instance().Clear();
    }

    CancelPrompts prompts;
    PromptOpener* previous = nullptr;
    VirtualAmplifier amp;
    QTemporaryDir lockDir;
    CMainWnd window{amp, CMainWnd::DetachedOptions(lockDir.path())};
};

TEST_F(MainFrame, EscapeInAControlKeepsItOpenButAWindowCloseCloses) {
    for (const char* name : {"eq_gain_3", "edit_main_volume"}) {
        auto* edit = window.FindControl<QLineEdit>(name);
        ASSERT_NE(edit, nullptr) << name;
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Escape);
        EXPECT_TRUE(window.isVisible()) << name;
    }
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.close());  // the window manager's close
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace kavelo

// The main window as a window: what closes it and how small it can get.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainWnd.h"
#include "sim/VirtualAmplifier.h"
#include "ui/LanguageService.h"

namespace kavelo {
namespace {

class MainFrame : public ::testing::Test {
protected:
    void SetUp() override {
        amp.Unplug();  // nothing to connect to, and nothing to prompt about
        ASSERT_TRUE(window.Create(QStringLiteral("Kavelo DSP Audio")));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override { LanguageService::Instance().Clear(); }

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

TEST_F(MainFrame, CannotBeMadeSmallerThanItsScaledDesign) {
    const QSize design = window.LayoutSize();
    ASSERT_TRUE(design.isValid());
    const QSize least(design.width() * window.ScalePercent() / 100,
                      design.height() * window.ScalePercent() / 100);
    EXPECT_EQ(window.minimumSize(), least);
    window.resize(least.width() - 200, least.height() - 100);
    EXPECT_EQ(window.size(), least);
    window.resize(least.width() + 40, least.height() + 30);  // larger is fine
    EXPECT_EQ(window.size(), least + QSize(40, 30));
}

}  // namespace
}  // namespace kavelo

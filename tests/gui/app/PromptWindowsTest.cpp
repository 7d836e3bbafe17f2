#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/MainWnd.h"
#include "ui/Prompts.h"
#include "ui/LanguageService.h"

namespace kavelo {
namespace {

using test::WhenModalShown;

class Prompts : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterLanguages();
        LanguageService::Instance().SetLanguage("en");
    }
    void TearDown() override { LanguageService::Instance().Clear(); }

    static void Click(QWidget* window, const char* name) {
        ASSERT_NE(window, nullptr);
        auto* button = window->findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static bool Shown(QWidget* window, const char* name) {
        auto* w = window->findChild<QWidget*>(name);
        return w && !w->isHidden();
    }
};

struct ButtonCase {
    const char* name;
    int count;
    const char* press;
    int expected;
    bool cancelShown;
    bool thirdShown;
};
void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }

class MessageButtons : public Prompts, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(MessageButtons, ShowsButtonsAndReturnsResult) {
    const ButtonCase& c = GetParam();
    const QString labels[3] = {"${default}", "${cancel}", "${emptied}"};
    bool checked = false;
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "msgwnd");
        EXPECT_EQ(Shown(box, "cancel_btn"), c.cancelShown);
        EXPECT_EQ(Shown(box, "third_btn"), c.thirdShown);
        EXPECT_EQ(box->findChild<QLabel*>("MessageText")->text(), "Notice");
        EXPECT_EQ(box->findChild<QAbstractButton*>("confirm_btn")->text(), "Default");
        checked = true;
        Click(box, c.press);
    });
    EXPECT_EQ(ShowMessage(nullptr, "${tips}", "${tips}", labels, c.count), c.expected);
    EXPECT_TRUE(checked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageButtons,
    ::testing::Values(ButtonCase{"one_button_confirm", 1, "confirm_btn", 1, false, false},
                      ButtonCase{"one_button_closed", 1, "closebtn", 0, false, false},
                      ButtonCase{"two_buttons_cancel", 2, "cancel_btn", 0, true, false},
                      ButtonCase{"three_buttons_third", 3, "third_btn", 2, true, true},
                      ButtonCase{"three_buttons_confirm", 3, "confirm_btn", 1, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Prompts, PlainMessageAsksYesOrNoAndKeepsLayoutTitleForEmptyText) {
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->findChild<QLabel*>("MessageTitle")->text(), "Notice");
        EXPECT_TRUE(Shown(box, "confirm_btn"));
        EXPECT_TRUE(Shown(box, "cancel_btn"));
        EXPECT_FALSE(Shown(box, "third_btn"));
        EXPECT_EQ(box->findChild<QAbstractButton*>("confirm_btn")->text(), "OK");
        Click(box, "cancel_btn");
    });
    EXPECT_EQ(ShowMessage(nullptr, "", "${device_plugout}"), 0);
}

TEST_F(Prompts, EnterConfirmsOrPressesTheFocusedButton) {
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ShowMessage(nullptr, "${tips}", "${device_plugout}"), 1);
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        auto* cancel = box->findChild<QPushButton*>("cancel_btn");
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
    });
    EXPECT_EQ(ShowMessage(nullptr, "${tips}", "${device_plugout}"), 0);
}

TEST_F(Prompts, FramelessBoxMovesByItsTitleBar) {
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->windowFlags().testFlag(Qt::FramelessWindowHint));
        auto* bar = box->findChild<QWidget*>("title_bar");
        const QPoint before = box->pos();
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QMouseEvent move(QEvent::MouseMove, QPointF(35, 25), bar->mapToGlobal(QPointF(35, 25)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(35, 25));
        EXPECT_EQ(box->pos(), before + QPoint(30, 20));
        Click(box, "cancel_btn");
    });
    EXPECT_EQ(ShowMessage(nullptr, "${tips}", "${device_plugout}"), 0);
}

TEST_F(Prompts, CheckBoxConfirmWithoutChoiceStaysOpen) {
    const QString options[2] = {"${copy_left_to_right}", "${copy_right_to_left}"};
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "msgcbwnd");
        Click(box, "confirm_btn");
        EXPECT_TRUE(box->isVisible());  // nothing chosen yet
        Click(box, "check_box_1");
        Click(box, "confirm_btn");
    });
    EXPECT_EQ(ShowCheckBoxMessage(nullptr, "${tips}", "${link_tips}", options), 2);

    WhenModalShown([&](QWidget* box) {
        Click(box, "check_box_0");
        Click(box, "confirm_btn");
    });
    EXPECT_EQ(ShowCheckBoxMessage(nullptr, "${tips}", "${link_tips}", options), 1);

    WhenModalShown([&](QWidget* box) { Click(box, "cancel_btn"); });
    EXPECT_EQ(ShowCheckBoxMessage(nullptr, "${tips}", "${link_tips}", options), 0);
}

TEST_F(Prompts, NameEntryCancelLeavesBuffer) {
    QString buffer = "Stage";
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        auto* edit = box->findChild<QLineEdit*>("name_edt");
        EXPECT_EQ(edit->text(), "Stage");
        edit->setText("Other");
        Click(box, "cancel_btn");
    });
    EXPECT_EQ(ShowNameEntry(nullptr, "${save_as_scene}", "", buffer), 0);
    EXPECT_EQ(buffer, "Stage");
}

TEST_F(Prompts, NameEntryReturnAcceptsAtMostSevenCharacters) {
    QString buffer;
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        auto* edit = box->findChild<QLineEdit*>("name_edt");
        edit->setFocus();
        QTest::keyClicks(edit, "Competition");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(ShowNameEntry(nullptr, "${save_as_scene}", "", buffer), 1);
    EXPECT_EQ(buffer, "Competi");
}

TEST_F(Prompts, AboutWithAndWithoutDevice) {
    QString noDevice, withDevice;
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        noDevice = box->findChild<QLabel*>("fw_version")->text();
        EXPECT_TRUE(box->findChild<QWidget*>("company_title")->isHidden());
        EXPECT_EQ(box->findChild<QLabel*>("soft_version")->text(), "Software v6.7.55");
        EXPECT_EQ(box->findChild<QLabel*>("inner_fw_version")->text(), "Supported firmware v1.18");
        Click(box, "closebtn");
    });
    EXPECT_EQ(ShowAboutWindow(nullptr, AboutDeviceInfo{}), 0);
    EXPECT_EQ(noDevice, "TRQ5.40AMP");

    WhenModalShown([&](QWidget* box) {
        withDevice = box->findChild<QLabel*>("fw_version")->text();
        Click(box, "confirm_btn");
    });
    EXPECT_EQ(ShowAboutWindow(nullptr, AboutDeviceInfo{87, 1, 20}), 1);
    EXPECT_EQ(withDevice, "TRQ5.40AMP Firmware v1.20");
}

TEST_F(Prompts, LoadingClosedByOwner) {
    WhenModalShown([&](QWidget* box) {
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "loadingwnd");
        static_cast<WindowImplBase*>(box)->Close(1);
    });
    EXPECT_EQ(ShowLoading(nullptr), 1);
}

TEST_F(Prompts, SecondPopupStacksOnTheFirst) {
    int inner = -1;
    QWidget* lower = nullptr;
    WhenModalShown([&](QWidget* first) {
        ASSERT_NE(first, nullptr);
        lower = first;
        WhenModalShown(
            [&](QWidget* second) {
                ASSERT_NE(second, nullptr);
                EXPECT_EQ(second->parentWidget(), lower);
                Click(second, "confirm_btn");
            },
            first);
        inner = ShowMessage(first, "${tips}", "${device_reboot}");
        // Back in the lower box: it is still open and modal.
        EXPECT_EQ(QApplication::activeModalWidget(), first);
        Click(first, "cancel_btn");
    });
    EXPECT_EQ(ShowMessage(nullptr, "${tips}", "${device_plugout}"), 0);
    EXPECT_EQ(inner, 1);
}

TEST_F(Prompts, QuitEndsNestedLoops) {
    int result = -1;
    QTimer::singleShot(0, [&] {
        WhenModalShown([](QWidget* box) {
            ASSERT_NE(box, nullptr);
            QCoreApplication::exit(0);
        });
        result = ShowMessage(nullptr, "${tips}", "${device_plugout}");
    });
    EXPECT_EQ(QApplication::exec(), 0);  // the outer loop ends too
    EXPECT_EQ(result, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

class ScriptedPrompts : public PromptOpener {
public:
    int Message(QWidget*, const QString& title, const QString& text, const QString[3],
                int) override {
        seen << title << text;
        return 2;
    }
    QStringList seen;
};

TEST_F(Prompts, SeamReplacesWindows) {
    ScriptedPrompts scripted;
    PromptOpener* previous = SetPromptOpener(&scripted);
    EXPECT_EQ(ShowMessage(nullptr, "${tips}", "${mutex_tips}"), 2);
    SetPromptOpener(previous);
    EXPECT_EQ(scripted.seen, QStringList({"${tips}", "${mutex_tips}"}));
}

}  // namespace
}  // namespace kavelo

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "app/MainWnd.h"
#include "sim/VirtualAmplifier.h"
#include "ui/LanguageService.h"
#include "ui/ProbeWindow.h"
#include "ui/WindowImplBase.h"

namespace kavelo {
namespace {

using test::WindowLayer;

TEST_F(WindowLayer, KeysOnAnEditNotify) {
    auto* edit = Get<QLineEdit>("edit_ch_volume_3");
    edit->setFocus();
    window.Take();
    QTest::keyClick(edit, Qt::Key_Up);
    QTest::keyClick(edit, Qt::Key_Down);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Right);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(window.Take(),
              QStringList({"valuechangedup:edit_ch_volume_3", "valuechangeddown:edit_ch_volume_3",
                           "valuechangedleft:edit_ch_volume_3",
                           "valuechangedright:edit_ch_volume_3", "return:edit_ch_volume_3"}));
    EXPECT_EQ(WindowImplBase::UserData(edit), 3);
    EXPECT_EQ(WindowImplBase::UserData(Get<QLineEdit>("other_edit")), 0);
}

TEST_F(WindowLayer, WheelStepsOverAnEdit) {
    auto* edit = Get<QLineEdit>("edit_ch_volume_3");
    const QPointF at(5, 5);
    QWheelEvent up(at, edit->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(edit, &up);
    QWheelEvent down(at, edit->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(edit, &down);
    EXPECT_EQ(window.Take(),
              QStringList({"valuechangedup:edit_ch_volume_3", "valuechangedup:edit_ch_volume_3",
                           "valuechangeddown:edit_ch_volume_3"}));
}

TEST_F(WindowLayer, FocusChangesNotifyBothControls) {
    Get<QLineEdit>("edit_ch_volume_3")->setFocus();
    window.Take();
    QTest::mouseClick(Get<QLineEdit>("other_edit"), Qt::LeftButton);
    EXPECT_EQ(window.Take(), QStringList({"killfocus:edit_ch_volume_3", "setfocus:other_edit"}));
}

TEST_F(WindowLayer, SliderDragNotifiesAndCodeDoesNot) {
    auto* slider = Get<QSlider>("slider_ch_volume_3");
    slider->setValue(40);
    EXPECT_TRUE(window.Take().isEmpty());

    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderHandle, slider);
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, handle.center());
    QTest::mouseMove(slider, handle.center() + QPoint(40, 0));
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, handle.center() + QPoint(40, 0));
    const QStringList notes = window.Take().filter("value");
    ASSERT_GE(notes.size(), 2);
    EXPECT_EQ(notes.first(), "movevaluechanged:slider_ch_volume_3");
    EXPECT_EQ(notes.last(), "valuechanged:slider_ch_volume_3");
    EXPECT_GT(slider->value(), 40);
}

TEST_F(WindowLayer, ComboSelectionByUserAndCode) {
    auto* combo = Get<QComboBox>("source_combo");
    combo->setFocus();
    window.Take();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(window.Take(), QStringList({"itemselect:source_combo"}));
    WindowImplBase::SelectItem(combo, 2);
    EXPECT_EQ(window.Take(), QStringList({"itemselect:source_combo"}));
    WindowImplBase::SelectItem(combo, 0, false);
    EXPECT_TRUE(window.Take().isEmpty());
    EXPECT_EQ(combo->currentIndex(), 0);
}

TEST_F(WindowLayer, OptionSelectionAndActivate) {
    WindowImplBase::SetSelected(Get<QRadioButton>("option_a"), true);
    EXPECT_EQ(window.Take(), QStringList({"selectchanged:option_a"}));
    WindowImplBase::SetSelected(Get<QRadioButton>("option_b"), true, false);
    EXPECT_TRUE(window.Take().isEmpty());
    EXPECT_TRUE(Get<QRadioButton>("option_b")->isChecked());
    WindowImplBase::Activate(Get<QPushButton>("btn_go"));
    EXPECT_EQ(window.Take(), QStringList({"click:btn_go"}));
    WindowImplBase::SetControlText(Get<QLineEdit>("other_edit"), "12");
    EXPECT_TRUE(window.Take().isEmpty());
}

TEST_F(WindowLayer, LanguageSwitchReResolvesTexts) {
    EXPECT_EQ(Get<QLabel>("caption")->text(), "Notice");
    EXPECT_EQ(Get<QPushButton>("btn_go")->text(), "OK");
    EXPECT_EQ(window.windowTitle(), "Notice");
    LanguageService::Instance().SetLanguage("ru");
    EXPECT_EQ(Get<QLabel>("caption")->text(), QString::fromUtf8("Внимание"));
    EXPECT_EQ(Get<QRadioButton>("option_b")->text(), QString::fromUtf8("Правый"));
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Внимание"));
    LanguageService::Instance().SetLanguage("cn_zh");
    EXPECT_EQ(Get<QPushButton>("btn_go")->text(), QString::fromUtf8("确定"));
}

TEST_F(WindowLayer, PrivateMessagesArriveInOrderFromAnyThread) {
    QtMessageSink sink(&window);
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            sink.Post({1234, static_cast<std::uintptr_t>(i), std::int64_t{i}});
    });
    worker.join();
    PostWindowMessage(&window, 1274, 7);
    QTRY_COMPARE_WITH_TIMEOUT(window.messages.size(), 51, 5000);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(window.messages[i].id, 1234);
        EXPECT_EQ(window.messages[i].number, i);
    }
    EXPECT_EQ(window.messages[50].id, 1274);
    sink.Reset();
    sink.Post({1235, 0, {}});
    QCoreApplication::processEvents();
    EXPECT_EQ(window.messages.size(), 51);
}

TEST_F(WindowLayer, TimersByIdAndKill) {
    window.SetTimer(4114, 1);
    QTRY_VERIFY_WITH_TIMEOUT(window.timers.contains(4114), 5000);
    window.KillTimer(4114);
    EXPECT_FALSE(window.HasTimer(4114));
    window.timers.clear();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.timers.isEmpty());
}

TEST_F(WindowLayer, MenuItemPostsMenuCommandWithName) {
    QMenu* menu = window.LoadMenu("xml/scene_menu.xml", &window);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 8);  // the last one opens the measurement items
    EXPECT_EQ(menu->actions()[1]->text(), "Save As Preset");
    menu->actions()[1]->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(window.messages.size(), 1, 5000);
    EXPECT_EQ(window.messages[0].id, WM_MENU_COMMAND);
    EXPECT_EQ(window.messages[0].text, "scene_item_saveas_scene");
    LanguageService::Instance().SetLanguage("ru");
    EXPECT_EQ(menu->actions()[1]->text(), QString::fromUtf8("Сохранить как пресет"));
    EXPECT_EQ(window.LoadMenu("xml/no_such_menu.xml", &window), nullptr);
}

TEST_F(WindowLayer, CustomControlsComeFromTheFactoryHook) {
    QWidget* curve = window.FindControl("curve_probe");
    ASSERT_NE(curve, nullptr);
    EXPECT_TRUE(curve->property("madeByHook").toBool());
    // A custom control reports through the same pump.
    window.SendNotify(curve, "equalizer_eq", 5);
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:curve_probe"}));
}

TEST_F(WindowLayer, DpiScalesWindowAndFont) {
    window.ApplyDpi(192);
    EXPECT_EQ(window.ScalePercent(), 200);
    EXPECT_EQ(window.size(), QSize(800, 600));
    EXPECT_EQ(window.font().pixelSize(), 26);
    window.ApplyDpi(77);
    EXPECT_EQ(window.ScalePercent(), 80);
}

TEST(WindowLayerLoad, MissingLayoutFailsCleanly) {
    class Missing : public WindowImplBase {
    public:
        QString GetSkinFile() const override { return "XML_NOT_THERE"; }
        QString GetWindowClassName() const override { return "Missing"; }
    } window;
    EXPECT_FALSE(window.Create("x"));
}

TEST(MainWindowShell, LoadsWithTitle) {
    RegisterLanguages();
    VirtualAmplifier amp;
    amp.Unplug();
    QTemporaryDir lockDir;
    CMainWnd main(amp, CMainWnd::DetachedOptions(lockDir.path()));
    ASSERT_TRUE(main.Create("Kavelo DSP Audio"));
    EXPECT_EQ(main.windowTitle(), "Kavelo DSP Audio");
    EXPECT_EQ(main.GetWindowClassName(), "MainWnd");
    EXPECT_NE(main.FindControl("closebtn"), nullptr);
    main.show();
    QWidget* max = main.FindControl("maxbtn");
    QWidget* restore = main.FindControl("restorebtn");
    EXPECT_FALSE(max->isHidden());
    EXPECT_TRUE(restore->isHidden());
    QTest::mouseClick(static_cast<QPushButton*>(max), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(main.isMaximized(), 5000);
    EXPECT_TRUE(max->isHidden());
    EXPECT_FALSE(restore->isHidden());
    QTest::mouseClick(static_cast<QPushButton*>(restore), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!main.isMaximized(), 5000);
    EXPECT_FALSE(max->isHidden());
    QTest::mouseClick(static_cast<QPushButton*>(main.FindControl("closebtn")), Qt::LeftButton);
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(main.result(), 1);
    LanguageService::Instance().Clear();
}

}  // namespace
}  // namespace kavelo

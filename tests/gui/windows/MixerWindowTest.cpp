// The input mixer as a user meets it: opened from the advance menu of the connected
// main window, edited with clicks, keys and the wheel, checked against the level
// commands the virtual amplifier received.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>

#include "ToolWindowFixture.h"
#include "control/MixerGrid.h"
#include "control/SpeakerRoles.h"
#include "ui/LanguageService.h"
#include "windows/MixerWnd.h"

namespace kavelo {
namespace {

constexpr int kMixSubcmd = 0x24;
constexpr int kRoutingSubcmd = 0x0B;

// The payload of the level command for one cell: scene 0, source, input, the output as
// first and last, the level.
std::string Level(int source, int input, int output, int level) {
    const std::uint8_t bytes[] = {0,
                                  static_cast<std::uint8_t>(source),
                                  static_cast<std::uint8_t>(input),
                                  static_cast<std::uint8_t>(output),
                                  static_cast<std::uint8_t>(output),
                                  static_cast<std::uint8_t>(level)};
    return ToHex(bytes, sizeof bytes);
}

// The routing command for one output: scene 0, source, the output as first and last,
// its input mask.
std::string Routing(int source, int output, int mask) {
    const std::uint8_t bytes[] = {
        0, static_cast<std::uint8_t>(source), static_cast<std::uint8_t>(output),
        static_cast<std::uint8_t>(output), static_cast<std::uint8_t>(mask)};
    return "routing " + ToHex(bytes, sizeof bytes);
}

using Levels = std::vector<std::string>;

class Mixer : public test::ToolWindowFixture {
protected:
    void TearDown() override {
        // The controller may close the window only while it is open.
        if (window) {
            EXPECT_FALSE(static_cast<bool>(Controller().Hooks().closeMixerWindow));
        }
        ToolWindowFixture::TearDown();
    }
    // Opens the mixer from the advance menu and runs `body` on it.
    void WithMixer(const std::function<void(CMixerWnd*)>& body) {
        WithModal<CMixerWnd>([&] { ClickMenuItem("btn_advance", "advance_item_mixer"); }, body);
    }
    static QAbstractButton* Box(QWidget* mixer, int o, int i) {
        return mixer->findChild<QAbstractButton*>(QStringLiteral("box_enable_%1_%2").arg(o).arg(i));
    }
    static QLineEdit* Edit(QWidget* mixer, int o, int i) {
        return EditIn(mixer, QStringLiteral("box_edit_%1_%2").arg(o).arg(i));
    }
    static QAbstractSlider* Slider(QWidget* mixer, int o, int i) {
        return mixer->findChild<QAbstractSlider*>(QStringLiteral("box_volume_%1_%2").arg(o).arg(i));
    }
    static QString Shown(QWidget* mixer, int o, int i) { return Edit(mixer, o, i)->text(); }
    static QString Focused() {
        QWidget* w = QApplication::focusWidget();
        return w ? w->objectName() : QString();
    }
    bool Routed(int source, int o, int i) {
        return (Controller().Live().inputs[source][o] & (1 << i)) != 0;
    }
    // The level and routing commands sent since the mark, once they all arrived; a
    // routing command is marked as such.
    Levels Sent() {
        Flush();
        Levels out;
        for (const Setter& s : Setters()) {
            EXPECT_TRUE(s.subcmd == kMixSubcmd || s.subcmd == kRoutingSubcmd)
                << "unexpected setter " << s.payload;
            out.push_back(s.subcmd == kRoutingSubcmd ? "routing " + s.payload : s.payload);
        }
        return out;
    }
};

struct RowsCase {
    const char* name;
    int source;
    const char* key;
    std::vector<const char*> suffixes;
};

void PrintTo(const RowsCase& c, std::ostream* os) { *os << "source " << c.source; }

class MixerRows : public Mixer, public ::testing::WithParamInterface<RowsCase> {};

TEST_P(MixerRows, ShowTheSourcesRowsTitledAndShortenTheWindow) {
    const RowsCase& c = GetParam();
    OpenWith(Defaults(c.source));
    const int n = static_cast<int>(c.suffixes.size());
    WithMixer([&](CMixerWnd* mixer) {
        EXPECT_TRUE(mixer->Ready());
        EXPECT_EQ(mixer->Source(), c.source);
        EXPECT_EQ(mixer->windowTitle(), "MixerWnd");
        for (int i = 0; i < kMixerRows; ++i) {
            SCOPED_TRACE(i);
            auto* title = mixer->findChild<QLabel*>(QStringLiteral("title_label_%1").arg(i));
            ASSERT_NE(title, nullptr);
            EXPECT_EQ(title->isVisible(), i < n);
            if (i < n) {
                EXPECT_EQ(title->text(), GetText(c.key) + c.suffixes[i]);
            }
            for (const QString& name : {QStringLiteral("box_3_%1"), QStringLiteral("left_box_%1"),
                                        QStringLiteral("second_%1")})
                EXPECT_EQ(mixer->findChild<QWidget*>(name.arg(i))->isVisible(), i < n)
                    << name.arg(i).toStdString();
            if (i < kMixerRows - 1) {
                auto* gap = mixer->findChild<QWidget*>(QStringLiteral("box_grap_3_%1").arg(i));
                EXPECT_EQ(gap->isVisible(), i < n - 1);
            }
            // Cross-source mixing is not offered: its controls stay hidden.
            auto* cross =
                mixer->findChild<QComboBox*>(QStringLiteral("cmb_csm_vice_source_%1").arg(i));
            ASSERT_NE(cross, nullptr);
            EXPECT_FALSE(cross->isVisible());
            EXPECT_EQ(cross->currentData().toString(), "0900");
        }
        const int scale = mixer->ScalePercent();
        EXPECT_EQ(
            mixer->height(),
            (mixer->LayoutSize().height() - kMixerRowPixels * (kMixerRows - n)) * scale / 100);
        EXPECT_EQ(mixer->width(), mixer->LayoutSize().width() * scale / 100);
        // Opening, binding and showing the cells send nothing.
        EXPECT_FALSE(Focused().startsWith("box_edit_")) << Focused().toStdString();
    });
    EXPECT_EQ(Sent(), Levels{});
}

INSTANTIATE_TEST_SUITE_P(
    Sources, MixerRows,
    ::testing::Values(RowsCase{"two_channels", 3, "${source_aux}", {" L", " R"}},
                      RowsCase{"six_channels", 5, "${source_hi}", {"1", "2", "3", "4", "5", "6"}},
                      RowsCase{"no_channels", 1, "${source_coax}", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Mixer, EnableBoxesRouteAndUnrouteWithTheirLevels) {
    DspState s = Defaults(5);
    s.inputs[5][2] = 0b000001;
    s.inputMixVolume[5][1][2] = 0;   // routing raises it to full level
    s.inputMixVolume[5][3][2] = 40;  // routing keeps it
    s.inputMixVolume[5][0][2] = 70;
    OpenWith(s);
    // No report or edit sets a phase per input; a model that holds one still shows it.
    Controller().Live().inputMixPhase[5][0][2] = 1;
    WithMixer([&](CMixerWnd* mixer) {
        EXPECT_EQ(Shown(mixer, 2, 0), "70");
        EXPECT_EQ(Shown(mixer, 2, 3), "0");  // not routed: shown as 0
        // The phase box shows the stored phase but is not a working control.
        auto* phase = mixer->findChild<QAbstractButton*>("box_phase_2_0");
        EXPECT_TRUE(WindowImplBase::IsSelected(phase));
        EXPECT_FALSE(phase->isEnabled());
        EXPECT_FALSE(phase->toolTip().isEmpty());
        QTest::mouseClick(phase, Qt::LeftButton);

        QTest::mouseClick(Box(mixer, 2, 1), Qt::LeftButton);
        EXPECT_TRUE(WindowImplBase::IsSelected(Box(mixer, 2, 1)));
        EXPECT_EQ(Shown(mixer, 2, 1), "100");
        EXPECT_EQ(Slider(mixer, 2, 1)->value(), 100);
        QTest::mouseClick(Box(mixer, 2, 3), Qt::LeftButton);
        EXPECT_EQ(Shown(mixer, 2, 3), "40");
        QTest::mouseClick(Box(mixer, 2, 0), Qt::LeftButton);
        EXPECT_FALSE(WindowImplBase::IsSelected(Box(mixer, 2, 0)));
        EXPECT_EQ(Shown(mixer, 2, 0), "0");
        EXPECT_EQ(Slider(mixer, 2, 0)->value(), 0);
    });
    // Each change of a box tells the amplifier the output's routing, then the level.
    EXPECT_EQ(Sent(), (Levels{Routing(5, 2, 0b000011), Level(5, 1, 2, 100), Routing(5, 2, 0b001011),
                              Routing(5, 2, 0b001010), Level(5, 0, 2, 0)}));
    EXPECT_EQ(Controller().Live().inputs[5][2], 0b001010);
    EXPECT_EQ(Controller().Live().inputMixVolume[5][1][2], 100);
    EXPECT_EQ(Controller().Live().inputMixVolume[5][3][2], 40);
    EXPECT_EQ(Controller().Live().inputMixVolume[5][0][2], 0);
    EXPECT_EQ(Controller().Live().inputMixPhase[5][0][2], 1);
}

TEST_F(Mixer, TypedLevelsCommitAndTheBoxFollows) {
    DspState s = Defaults(3);
    s.inputs[3][4] = 0b01;
    s.inputMixVolume[3][0][4] = 60;
    s.inputMixVolume[3][1][4] = 0;
    s.inputs[3][5] = 0;
    s.inputMixVolume[3][1][5] = 30;
    OpenWith(s);
    WithMixer([&](CMixerWnd* mixer) {
        // Enter commits the typed 0, which takes the input out of the mix and sends 0
        // once more; clicking into and out of edits commits nothing that did not change.
        test::ToolWindowFixture::TypeIn(mixer, "box_edit_4_0", "0");
        EXPECT_FALSE(WindowImplBase::IsSelected(Box(mixer, 4, 0)));
        EXPECT_FALSE(Routed(3, 4, 0));
        // A level typed into a cell that is not routed routes it, with one command.
        test::ToolWindowFixture::TypeIn(mixer, "box_edit_4_1", "55");
        EXPECT_TRUE(WindowImplBase::IsSelected(Box(mixer, 4, 1)));
        EXPECT_TRUE(Routed(3, 4, 1));
        EXPECT_EQ(Slider(mixer, 4, 1)->value(), 55);
        // Text that is no number changes nothing, routed or not: the cell shows what it
        // showed and nothing is sent. A number beyond the range is clamped.
        test::ToolWindowFixture::TypeIn(mixer, "box_edit_4_1", "abc");
        EXPECT_EQ(Shown(mixer, 4, 1), "55");
        EXPECT_TRUE(Routed(3, 4, 1));
        test::ToolWindowFixture::TypeIn(mixer, "box_edit_5_1", "abc");
        EXPECT_EQ(Shown(mixer, 5, 1), "0");
        test::ToolWindowFixture::TypeIn(mixer, "box_edit_5_0", "150");
        EXPECT_EQ(Shown(mixer, 5, 0), "100");
        EXPECT_EQ(Slider(mixer, 5, 0)->value(), 100);
        EXPECT_TRUE(WindowImplBase::IsSelected(Box(mixer, 5, 0)));
    });
    EXPECT_EQ(Sent(), (Levels{Level(3, 0, 4, 0), Routing(3, 4, 0), Level(3, 0, 4, 0),  // 0
                              Level(3, 1, 4, 55), Routing(3, 4, 0b10),                 // 55
                              Level(3, 0, 5, 100), Routing(3, 5, 0b01)}));             // 150
    EXPECT_EQ(Controller().Live().inputMixVolume[3][1][5], 30);
    EXPECT_EQ(Controller().Live().inputMixVolume[3][0][5], 100);
}

// Each level the user changes is its own undo step once the mixer is closed.
TEST_F(Mixer, EachChangedLevelIsOneUndoStep) {
    DspState s = Defaults(3);
    s.inputs[3][4] = 0b11;
    s.inputMixVolume[3][0][4] = 60;
    s.inputMixVolume[3][1][4] = 40;
    OpenWith(s);
    WithMixer([&](CMixerWnd* mixer) {
        test::ToolWindowFixture::TypeIn(mixer, "box_edit_4_0", "25");
        test::ToolWindowFixture::TypeIn(mixer, "box_edit_4_1", "75");
    });
    EXPECT_EQ(Controller().UndoSteps(), 2u);
    Click("btn_undo");
    Flush();
    EXPECT_EQ(amp.LiveState().settings.inputMixTrim[3][1][4], 40);
    EXPECT_EQ(amp.LiveState().settings.inputMixTrim[3][0][4], 25);
    Click("btn_undo");
    Flush();
    EXPECT_EQ(amp.LiveState().settings.inputMixTrim[3][0][4], 60);
}

TEST_F(Mixer, ArrowsWalkTheCellsAndLeavingAnEditLetsTheFocusGo) {
    OpenWith(Defaults(3));
    WithMixer([&](CMixerWnd* mixer) {
        QTest::mouseClick(Edit(mixer, 7, 0), Qt::LeftButton);
        ASSERT_EQ(Focused(), "box_edit_7_0");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        EXPECT_EQ(Focused(), "box_edit_0_1");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        EXPECT_EQ(Focused(), "box_edit_7_0");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        EXPECT_EQ(Focused(), "box_edit_6_0");
        QTest::mouseClick(Edit(mixer, 7, 1), Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        EXPECT_EQ(Focused(), "box_edit_0_0");  // past the last shown row: the first
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        EXPECT_EQ(Focused(), "box_edit_7_1");
    });
    // Entering and leaving edits whose level did not change sends nothing.
    EXPECT_EQ(Sent(), Levels{});
}

// Tab walks through the cells, one of them not routed but holding a level: nothing is
// sent and nothing stored changes.
TEST_F(Mixer, TabThroughCellsSendsNothing) {
    DspState s = Defaults(3);
    s.inputs[3][0] = 0b01;
    s.inputMixVolume[3][0][0] = 60;
    s.inputs[3][1] = 0;
    s.inputMixVolume[3][0][1] = 45;  // kept while the input is out of the mix
    OpenWith(s);
    QStringList visited;
    WithMixer([&](CMixerWnd* mixer) {
        QTest::mouseClick(Edit(mixer, 0, 0), Qt::LeftButton);
        for (int k = 0; k < 12; ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << Focused();
        }
    });
    EXPECT_TRUE(visited.contains("box_edit_1_0")) << visited.join(' ').toStdString();
    EXPECT_EQ(Sent(), Levels{});
    EXPECT_EQ(Controller().Live().inputMixVolume[3][0][1], 45);
    EXPECT_EQ(Controller().Live().inputs[3][1], 0);
}

// A level typed and not yet committed is committed when the mixer closes, however it
// is closed.
TEST_F(Mixer, ClosingCommitsTheTypedLevel) {
    struct Case {
        const char* how;
        std::function<void(CMixerWnd*)> close;
    };
    const Case cases[] = {
        {"close button", [](CMixerWnd* m) { ClickIn(m, "closebtn"); }},
        {"Esc", [](CMixerWnd*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }},
        {"window manager", [](CMixerWnd* m) { m->close(); }},
    };
    DspState s = Defaults(3);
    s.inputs[3][2] = 0b01;
    OpenWith(s);
    int level = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        Mark();
        ++level;
        bool closed = false;
        WithMixer([&](CMixerWnd* mixer) {
            QLineEdit* edit = Edit(mixer, 2, 1);
            QTest::mouseClick(edit, Qt::LeftButton);
            edit->selectAll();
            QTest::keyClicks(edit, QString::number(level));
            c.close(mixer);
            closed = !mixer->isVisible();
        });
        EXPECT_TRUE(closed);
        const Levels sent = Sent();
        // The first close routes the input; later ones only change its level.
        const Levels expected = level == 21 ? Levels{Level(3, 1, 2, level), Routing(3, 2, 0b11)}
                                            : Levels{Level(3, 1, 2, level)};
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(amp.LiveState().settings.inputMixTrim[3][1][2], level);
        EXPECT_EQ(Controller().Live().inputMixVolume[3][1][2], level);
    }
}

// What the mixer routes reaches the amplifier and the main window's input options, and
// survives a reconnect: a cell switched off stays off, one switched on stays on.
TEST_F(Mixer, RoutingReachesTheAmplifierAndSurvivesAReconnect) {
    DspState s = Defaults(5);
    s.inputs[5][3] = 0b000001;
    s.inputMixVolume[5][0][3] = 70;  // routed: switched off below
    s.inputMixVolume[5][2][3] = 0;   // not routed, silent: switched on below
    s.inputMixVolume[5][4][3] = 35;  // not routed: switched on below, keeps its level
    OpenWith(s);
    WithMixer([&](CMixerWnd* mixer) {
        QTest::mouseClick(Box(mixer, 3, 0), Qt::LeftButton);
        QTest::mouseClick(Box(mixer, 3, 2), Qt::LeftButton);
        QTest::mouseClick(Box(mixer, 3, 4), Qt::LeftButton);
    });
    Flush();
    const int mask = 0b010100;
    EXPECT_EQ(amp.LiveState().settings.mix[5][3], mask);
    // The main window shows the mixer's routing once it closed.
    for (int k = 1; k <= 6; ++k) {
        EXPECT_EQ(Selected(QStringLiteral("option_ch_in%1_3").arg(k)), ((mask >> (k - 1)) & 1) != 0)
            << k;
    }
    Click("btnConnect");  // disconnect
    ASSERT_FALSE(Controller().IsConnected());
    Click("btnConnect");
    ASSERT_TRUE(test::WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
    const DspState& read = Controller().Live();
    EXPECT_EQ(read.inputs[5][3], mask);
    EXPECT_EQ(read.inputMixVolume[5][0][3], 0);
    EXPECT_EQ(read.inputMixVolume[5][2][3], 100);
    EXPECT_EQ(read.inputMixVolume[5][4][3], 35);
    for (int k = 1; k <= 6; ++k) {
        EXPECT_EQ(Selected(QStringLiteral("option_ch_in%1_3").arg(k)), ((mask >> (k - 1)) & 1) != 0)
            << k;
    }
}

TEST_F(Mixer, KeysAndWheelStepTheLevel) {
    DspState s = Defaults(5);
    s.inputs[5][0] = 0b1;
    s.inputMixVolume[5][0][0] = 99;
    OpenWith(s);
    WithMixer([&](CMixerWnd* mixer) {
        QLineEdit* edit = Edit(mixer, 0, 0);
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_Up);
        EXPECT_EQ(edit->text(), "100");
        QTest::keyClick(edit, Qt::Key_Up);  // at the top already
        EXPECT_EQ(Slider(mixer, 0, 0)->value(), 100);
        const QPoint at = edit->rect().center();
        QWheelEvent down(at, edit->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(edit, &down);
        EXPECT_EQ(edit->text(), "99");
    });
    // Clicking in and stepping at the top change nothing and send nothing.
    EXPECT_EQ(Sent(), (Levels{Level(5, 0, 0, 100), Level(5, 0, 0, 99)}));
}

TEST_F(Mixer, TheSliderSetsTheLevelAndHandsTheFocusToItsEdit) {
    DspState s = Defaults(5);
    s.inputs[5][6] = 0;  // out of the mix
    OpenWith(s);
    WithMixer([&](CMixerWnd* mixer) {
        QAbstractSlider* slider = Slider(mixer, 6, 2);
        ASSERT_EQ(slider->minimum(), kMixerLevelMin);
        ASSERT_EQ(slider->maximum(), kMixerLevelMax);
        ASSERT_EQ(slider->value(), 0);
        // A click beside the handle pages the slider up.
        QTest::mouseClick(slider, Qt::LeftButton, {},
                          QPoint(slider->width() - 2, slider->height() / 2));
        const int level = slider->value();
        EXPECT_GT(level, 0);
        EXPECT_EQ(Shown(mixer, 6, 2), QString::number(level));
        EXPECT_TRUE(WindowImplBase::IsSelected(Box(mixer, 6, 2)));
        EXPECT_TRUE(Routed(5, 6, 2));
        EXPECT_EQ(Controller().Live().inputMixVolume[5][2][6], level);
        EXPECT_EQ(Focused(), "box_edit_6_2");
    });
    const Levels sent = Sent();
    ASSERT_GE(sent.size(), 2u);
    // The first level routes the input; every level sent is the one stored.
    EXPECT_EQ(sent[1], Routing(5, 6, 0b100));
    for (std::size_t k = 0; k < sent.size(); ++k) {
        if (k == 1) continue;
        EXPECT_EQ(sent[k], Level(5, 2, 6, Controller().Live().inputMixVolume[5][2][6])) << k;
    }
}

TEST_F(Mixer, ClosesWhenTheAmplifierIsUnplugged) {
    OpenWith(Defaults(5));
    bool closed = false;
    WithMixer([&](CMixerWnd* mixer) {
        ASSERT_TRUE(static_cast<bool>(Controller().Hooks().closeMixerWindow));
        monitor->Report(DeviceMonitor::Change::Removal,
                        "HID#/devices/pci0000:00/usb1/1-1/0003:0483:5750.0003/hidraw/hidraw2");
        closed = !mixer->isVisible();
    });
    EXPECT_TRUE(closed);
    EXPECT_FALSE(Controller().Link().IsDeviceOpen());
}

}  // namespace
}  // namespace kavelo

// The automatic calibration as a user meets it: opened from the connected main window,
// run against the virtual amplifier with the poll clock driven by the test, checked
// against what the amplifier received and what the window and its graph show.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <memory>

#include "DrivenClock.h"
#include "ToolWindowFixture.h"
#include "TracePort.h"
#include "graph/UIEqualizerAc.h"
#include "windows/AutoCalWnd.h"

namespace kavelo {
namespace {

using test::WaitUntil;

constexpr std::uint8_t kIrcCtrl = 0x13, kIrcModule = 0x1E, kIrcEq = 0x16, kIrcSpectrum = 0x1A;

class AutoCal : public test::ToolWindowFixture {
protected:
    test::DrivenClock clock;
    LinkClock* previousClock = nullptr;
    CAutoCalWnd* cal = nullptr;

    void SetUp() override {
        ToolWindowFixture::SetUp();
        previousClock = SetAutoCalClock(&clock);
    }
    void TearDown() override {
        ToolWindowFixture::TearDown();
        SetAutoCalClock(previousClock);
    }

    // Opens the calibration window the way a user does (its button, or the advance
    // menu) and runs `body` on it while it is open.
    void WithCalibration(const std::function<void()>& body, bool fromMenu = false) {
        WithModal<CAutoCalWnd>(
            [&] {
                if (fromMenu)
                    ClickMenuItem("btn_advance", "advance_item_autocal");
                else
                    Click("btn_irc");
            },
            [&](CAutoCalWnd* shown) {
                cal = shown;
                body();
                // A test leaves no run behind: the window could not close.
                if (cal->Busy()) {
                    ClickIn(cal, "start_auto_cal");
                    RunToEnd();
                }
                cal = nullptr;
            });
        ASSERT_TRUE(WaitUntil([&] { return Settled(); }));
    }

    QString Key(const char* control) const {
        return WindowImplBase::ControlTextKey(cal->FindControl(QLatin1String(control)));
    }
    QAbstractButton* Button(const QString& name) const {
        return cal->findChild<QAbstractButton*>(name);
    }
    UIEqualizerAc* Graph() const { return cal->FindControl<UIEqualizerAc>("equalizer_ac"); }

    // Delivers what the worker posted; then, while `done` does not hold and the worker
    // polls, moves its clock on by one wait. False when `done` never came.
    bool RunUntil(const std::function<bool()>& done, int maxWaits = 400) {
        for (int i = 0; i < maxWaits; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            if (done()) return true;
            if (!cal->PollRunning()) {
                // Its last message may still be on the way.
                WaitUntil([&] { return done(); }, 2000);
                return done();
            }
            const int begun = clock.WaitsBegun();
            clock.Advance(kCalibrationHalfPollMs);
            if (!WaitUntil([&] { return clock.WaitsBegun() > begun || !cal->PollRunning(); }))
                return false;
        }
        return done();
    }
    bool RunToEnd() {
        return RunUntil([&] { return !cal->Busy() && !cal->PollRunning(); });
    }
    // Confirms the start and waits until the worker polls.
    void Start() {
        const int begun = clock.WaitsBegun();
        ClickIn(cal, "start_auto_cal");
        ASSERT_TRUE(cal->Busy());
        ASSERT_TRUE(clock.WaitForWaits(begun + 1));
    }
    void Check(const char* option) {
        QAbstractButton* b = Button(QLatin1String(option));
        ASSERT_NE(b, nullptr) << option;
        if (!b->isChecked()) QTest::mouseClick(b, Qt::LeftButton);
    }

    // DSP-class reports since the mark with that subcommand and operation, as payload hex.
    std::vector<std::string> Sent(std::uint8_t subcmd, std::uint8_t op = OP_SET) const {
        std::vector<std::string> out;
        const auto reports = amp.WrittenReports();
        for (std::size_t i = mark; i < reports.size(); ++i) {
            const auto& r = reports[i];
            if (r[4] == CMD_DSP && r[5] == subcmd && r[6] == op)
                out.push_back(ToHex(r.data() + 7, static_cast<std::size_t>(r[3] - 3)));
        }
        return out;
    }
    // MCU handshakes since the mark: a reconnection reads the amplifier again.
    int Handshakes() const {
        int n = 0;
        const auto reports = amp.WrittenReports();
        for (std::size_t i = mark; i < reports.size(); ++i)
            if (reports[i][4] == CMD_MCU && reports[i][5] == MCU_HANDSHAKE) ++n;
        return n;
    }
};

using Strings = std::vector<std::string>;

// What the virtual amplifier measured on output c at point i, in dB.
double Measured(int c, int i) { return VirtualAmplifier::CalibrationLevelHundredths(c, i) / 100.0; }

TEST_F(AutoCal, WholeRunDrawsTheMeasurementKeepsItAndReadsTheAmplifierAgain) {
    OpenWith(Defaults(5));
    WithCalibration([&] {
        // The main window steps aside; the calibration window stays up.
        EXPECT_TRUE(window->isMinimized());
        EXPECT_TRUE(cal->isVisible());
        EXPECT_TRUE(Button("ch_checkbox_0")->isChecked());
        Check("irc_eq");
        Check("irc_delay");
        Check("ch_checkbox_2");
        QSignalSpy eqSets(Graph(), &UIEqualizerAc::EqCurvesSet);
        QSignalSpy spectrumSets(Graph(), &UIEqualizerAc::SpectrumCurvesSet);
        Mark();
        Start();
        EXPECT_EQ(Key("start_auto_cal"), "${stop}");
        EXPECT_EQ(Key("tips"), "${start_irc_tips}");
        EXPECT_FALSE(Button("closebtn")->isEnabled());

        QStringList steps;
        ASSERT_TRUE(RunUntil([&] {
            if (steps.isEmpty() || steps.back() != Key("tips")) steps << Key("tips");
            return Key("tips") == "${irc_completed}";
        }));
        EXPECT_EQ(steps,
                  QStringList({"${start_irc_tips}", "${detect_speaker}", "${detect_level}",
                               "${detect_location}", "${adjust_ch_volume}", "${compensate_eq}",
                               "${test_freq_response}", "${irc_completed}"}));
        EXPECT_EQ(cal->FindControl<QProgressBar>("progress")->value(), 100);
        EXPECT_EQ(Key("start_auto_cal"), "${start_irc}");
        EXPECT_TRUE(Button("closebtn")->isEnabled());
        ASSERT_TRUE(RunToEnd());

        // Modules EQ and delay, channels 0 and 2, no target preset.
        EXPECT_EQ(Sent(kIrcModule), Strings({"03"}));
        EXPECT_EQ(Sent(kIrcCtrl), Strings({"01 00 05 00"}));
        EXPECT_EQ(Sent(kIrcSpectrum, OP_GET).size(), 2u * 14);
        EXPECT_EQ(Sent(kIrcSpectrum, OP_GET).front(), "00 00 08");
        EXPECT_EQ(Sent(kIrcSpectrum, OP_GET)[13], "00 75 78");
        EXPECT_EQ(Sent(kIrcEq, OP_GET), Strings({"00 00 05", "00 06 0A", "02 00 05", "02 06 0A"}));

        // Each channel's curves went to the graph once, when complete.
        EXPECT_EQ(spectrumSets.count(), 2);
        EXPECT_EQ(eqSets.count(), 2);
        UIEqualizerAc* graph = Graph();
        for (int i : {0, 60, 120}) {
            EXPECT_NEAR(graph->GetSpectrumCurve(2).db[i], Measured(2, i), 1e-4) << i;
            EXPECT_DOUBLE_EQ(graph->GetSpectrumCurve(2).freq[i], 20 + 19980 * i / 121) << i;
        }
        EXPECT_TRUE(graph->IsSpectrumShown(0) && graph->IsSpectrumShown(2));
        EXPECT_FALSE(graph->IsSpectrumShown(1));
        double eqPeak = 0.0, flatPeak = 0.0;
        for (int k = 0; k < kResponsePoints; ++k) {
            eqPeak = std::max(eqPeak, std::abs(graph->GetEqCurve(0).db[k]));
            flatPeak = std::max(flatPeak, std::abs(graph->GetEqCurve(1).db[k]));
        }
        EXPECT_GT(eqPeak, 1.0);
        EXPECT_LT(flatPeak, 1e-9);

        // Distances in metres, shown as they arrived; an output out of the range stays hidden.
        EXPECT_EQ(cal->FindControl<QLabel>("ch_0: ")->text(), "1.000000");
        EXPECT_EQ(cal->FindControl<QLabel>("ch_2: ")->text(), "1.500000");
        EXPECT_TRUE(cal->FindControl<QLabel>("ch_3: ")->isHidden());

        Mark();
        ClickIn(cal, "irc_save_data");
        EXPECT_EQ(Sent(kIrcCtrl), Strings({"02 00 00 00"}));
        EXPECT_EQ(Key("tips"), "${irc_applyed}");
        ClickIn(cal, "irc_save_data");  // applied once
        EXPECT_EQ(Key("tips"), "${irc_start_tips}");
        ClickIn(cal, "closebtn");
        EXPECT_FALSE(cal->isVisible());
        EXPECT_EQ(prompts.texts, QStringList({"${irc_warning_tips}"}));  // no question
    });
    // Result 1: the main window is back and has read the calibrated values.
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(Handshakes(), 1);
    ASSERT_TRUE(Controller().IsConnected());
    EXPECT_EQ(Controller().Live().channels[0].bands[1].freq, 40);
    EXPECT_EQ(Controller().Live().channels[2].bands[10].freq, 20000);
    EXPECT_EQ(Controller().Live().channels[1].bands[1].freq, DspState().channels[1].bands[1].freq);
}

TEST_F(AutoCal, AdvanceMenuOpensItAndClosingUntouchedDiscardsWithoutReading) {
    OpenWith(Defaults(5));
    WithCalibration(
        [&] {
            ClickIn(cal, "irc_cancel_data");  // nothing to discard yet
            EXPECT_EQ(Key("tips"), "${irc_start_tips}");
            EXPECT_TRUE(Sent(kIrcCtrl).empty());
            ClickIn(cal, "closebtn");
        },
        true);
    EXPECT_EQ(Sent(kIrcCtrl), Strings({"03 00 00 00"}));
    EXPECT_EQ(Handshakes(), 0);
    EXPECT_TRUE(prompts.texts.isEmpty());
}

TEST_F(AutoCal, StartWithoutModuleWarnsAndSendsNothing) {
    OpenWith(Defaults(5));
    WithCalibration([&] {
        Mark();
        ClickIn(cal, "start_auto_cal");
        EXPECT_EQ(prompts.texts, QStringList({"${irc_option_warning_tips}"}));
        EXPECT_FALSE(cal->Busy());
        EXPECT_EQ(Key("start_auto_cal"), "${start_irc}");
        EXPECT_EQ(amp.WrittenReports().size(), mark);
        // Declining the warning about the test signals starts nothing either.
        Check("irc_phase");
        prompts.answers = {0};
        ClickIn(cal, "start_auto_cal");
        EXPECT_FALSE(cal->Busy());
        EXPECT_EQ(amp.WrittenReports().size(), mark);
    });
}

TEST_F(AutoCal, TargetPresetGivesTheEqMode) {
    struct Case {
        const char* target;  // nullptr: none chosen
        const char* start;
    };
    for (const Case& c : {Case{nullptr, "01 00 01 00"}, Case{"audio_effect_2", "01 00 01 03"},
                          Case{"audio_effect_0", "01 00 01 01"}}) {
        OpenWith(Defaults(5));
        WithCalibration([&] {
            Check("irc_eq");
            if (c.target) Check(c.target);
            Mark();
            Start();
            ClickIn(cal, "start_auto_cal");  // stop at once
            ASSERT_TRUE(RunToEnd());
            EXPECT_EQ(Sent(kIrcCtrl), Strings({c.start, "00 00 00 00"}))
                << (c.target ? c.target : "none");
            ClickIn(cal, "closebtn");
        });
        window.reset();
    }
}

TEST_F(AutoCal, OutputWithoutSpeakerCannotBeChosenAndIsNeverDrawn) {
    DspState state = Defaults(5);
    state.outputs[3] = 0;
    state.outputs[0] = 0;
    OpenWith(state);
    WithCalibration([&] {
        for (int c : {0, 3}) {
            QAbstractButton* option = Button(QStringLiteral("ch_checkbox_%1").arg(c));
            EXPECT_FALSE(option->isEnabled()) << c;
            EXPECT_FALSE(option->isChecked()) << c;
            EXPECT_TRUE(option->isVisible()) << c;
        }
        Check("ch_checkbox_4");
        QTest::mouseClick(Button("ch_checkbox_3"), Qt::LeftButton);
        Check("display_target");
        UIEqualizerAc* graph = Graph();
        for (int c = 0; c < kOutputChannels; ++c) {
            EXPECT_EQ(graph->IsEqShown(c), c == 4) << c;
            EXPECT_EQ(graph->IsSpectrumShown(c), c == 4) << c;
            EXPECT_EQ(graph->IsTargetShown(c), c == 4) << c;
        }
        Check("irc_eq");
        Mark();
        Start();
        EXPECT_EQ(Sent(kIrcCtrl), Strings({"01 00 10 00"}));
    });
}

TEST_F(AutoCal, DisplayOptionsChooseTheCurveSets) {
    OpenWith(Defaults(5));
    WithCalibration([&] {
        UIEqualizerAc* graph = Graph();
        EXPECT_TRUE(graph->IsEqShown(0) && graph->IsSpectrumShown(0));
        EXPECT_FALSE(graph->IsTargetShown(0));
        QTest::mouseClick(Button("display_eq"), Qt::LeftButton);
        EXPECT_FALSE(graph->IsEqShown(0));
        EXPECT_TRUE(graph->IsSpectrumShown(0));
        // Choosing the flat target draws it whatever the target display says.
        Check("audio_effect_0");
        EXPECT_TRUE(graph->IsTargetShown(0));
        QTest::mouseClick(Button("display_target"), Qt::LeftButton);  // on
        QTest::mouseClick(Button("display_target"), Qt::LeftButton);  // off again
        EXPECT_FALSE(graph->IsTargetShown(0));
        QTest::mouseClick(Button("ch_checkbox_0"), Qt::LeftButton);
        EXPECT_FALSE(graph->IsSpectrumShown(0));
    });
}

TEST_F(AutoCal, UndecidedResultIsAskedForOnClosingAndNoDiscardsIt) {
    OpenWith(Defaults(5));
    const AmpLiveState before = amp.LiveState();
    WithCalibration([&] {
        Check("irc_eq");
        Start();
        ASSERT_TRUE(RunToEnd());
        EXPECT_TRUE(cal->Run().Success());
        Mark();
        prompts.answers = {0};
        // The window manager's close runs the same closing as the close button.
        cal->close();
        EXPECT_FALSE(cal->isVisible());
    });
    EXPECT_EQ(prompts.texts.back(), "${irc_apply_tips}");
    EXPECT_EQ(Sent(kIrcCtrl), Strings({"03 00 00 00"}));
    EXPECT_EQ(Handshakes(), 0);
    EXPECT_EQ(amp.LiveState(), before);
}

TEST_F(AutoCal, ClosingAfterDiscardReadsTheAmplifierAgain) {
    OpenWith(Defaults(5));
    const AmpLiveState before = amp.LiveState();
    WithCalibration([&] {
        Check("irc_eq");
        Check("audio_effect_4");
        Start();
        ASSERT_TRUE(RunToEnd());
        Mark();
        ClickIn(cal, "irc_cancel_data");
        EXPECT_EQ(Key("tips"), "${irc_canceled}");
        EXPECT_EQ(Sent(kIrcCtrl), Strings({"03 00 00 00"}));
        ClickIn(cal, "closebtn");
    });
    EXPECT_EQ(Handshakes(), 1);
    EXPECT_EQ(amp.LiveState().settings, before.settings);
    EXPECT_TRUE(Controller().IsConnected());
}

TEST_F(AutoCal, AnsweringYesOnClosingKeepsTheResultWithItsEqMode) {
    OpenWith(Defaults(5));
    WithCalibration([&] {
        Check("irc_eq");
        Check("audio_effect_1");
        Start();
        ASSERT_TRUE(RunToEnd());
        Mark();
        prompts.answers = {1};
        QTest::keyClick(cal, Qt::Key_Escape);
    });
    EXPECT_EQ(Sent(kIrcCtrl), Strings({"02 00 00 02"}));
    EXPECT_EQ(Handshakes(), 1);
    EXPECT_EQ(Controller().Live().channels[0].bands[1].freq, 40);
}

struct FailureCase {
    int reason;
    const char* tips;
};

class AutoCalFailure : public AutoCal, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AutoCalFailure, ShowsTheReasonAndAllowsAnotherRun) {
    amp.ScriptCalibrationFailure(2, GetParam().reason);
    OpenWith(Defaults(5));
    WithCalibration([&] {
        Check("irc_eq");
        Start();
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(Key("tips"), GetParam().tips);
        EXPECT_FALSE(cal->Run().Success());
        EXPECT_EQ(Key("start_auto_cal"), "${start_irc}");
        EXPECT_TRUE(Button("start_auto_cal")->isEnabled());
        EXPECT_TRUE(Button("closebtn")->isEnabled());
        ClickIn(cal, "irc_save_data");  // nothing to keep
        EXPECT_EQ(Key("tips"), "${irc_start_tips}");
        amp.ScriptCalibrationFailure(-1, 0);
        Start();
        ASSERT_TRUE(RunUntil([&] { return Key("tips") == "${irc_completed}"; }));
    });
}

INSTANTIATE_TEST_SUITE_P(Reasons, AutoCalFailure,
                         ::testing::Values(FailureCase{0, "${irc_failed_level}"},
                                           FailureCase{1, "${irc_failed_mic}"},
                                           FailureCase{2, "${irc_failed_speaker}"},
                                           FailureCase{3, "${irc_failed_delay}"},
                                           FailureCase{4, "${irc_failed_ch_volume}"},
                                           FailureCase{5, "${irc_failed_eq}"}));

TEST_F(AutoCal, StopDuringARunTellsTheAmplifierAndIgnoresWhatStillArrives) {
    OpenWith(Defaults(5));
    WithCalibration([&] {
        Check("irc_eq");
        Start();
        ASSERT_TRUE(RunUntil([&] { return Key("tips") == "${detect_location}"; }));
        Mark();
        ClickIn(cal, "start_auto_cal");
        EXPECT_TRUE(cal->Busy());
        EXPECT_FALSE(Button("closebtn")->isEnabled());
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(Sent(kIrcCtrl), Strings({"00 00 00 00"}));
        EXPECT_TRUE(Sent(0x13, OP_GET).empty());  // no poll after the stop
        EXPECT_FALSE(amp.CalibrationRunning());
        EXPECT_EQ(Key("tips"), "${irc_stoped}");
        EXPECT_EQ(Key("start_auto_cal"), "${start_irc}");
        EXPECT_TRUE(Button("closebtn")->isEnabled());
        EXPECT_FALSE(cal->Run().Success());
        // A stopped run leaves nothing to keep.
        ClickIn(cal, "irc_save_data");
        EXPECT_EQ(Key("tips"), "${irc_start_tips}");
    });
}

TEST_F(AutoCal, WindowManagerCloseDuringARunChangesNothing) {
    OpenWith(Defaults(5));
    WithCalibration([&] {
        Check("irc_eq");
        Start();
        ASSERT_TRUE(RunUntil([&] { return Key("tips") == "${detect_level}"; }));
        Mark();
        const int promptsBefore = prompts.texts.size();
        cal->close();                          // the title bar's x or Alt+F4
        QTest::keyClick(cal, Qt::Key_Escape);  // Esc
        cal->Close(0);                         // and from code
        QCoreApplication::processEvents();
        EXPECT_TRUE(cal->isVisible());
        EXPECT_TRUE(cal->Busy());
        EXPECT_EQ(prompts.texts.size(), promptsBefore);
        EXPECT_TRUE(Sent(kIrcCtrl).empty());
        ASSERT_TRUE(RunUntil([&] { return Key("tips") == "${irc_completed}"; }));
        EXPECT_TRUE(cal->isVisible());
    });
}

TEST_F(AutoCal, SilentAmplifierLeavesTheWindowUsable) {
    // Replies that never come end after a moment instead of the link's ten seconds.
    cli::TracePort quick(amp, nullptr, 50);
    port = &quick;
    OpenWith(Defaults(5));
    WithCalibration([&] {
        Check("irc_eq");
        Start();
        ASSERT_TRUE(RunUntil([&] { return Key("tips") == "${detect_speaker}"; }));
        amp.SetSilent(true);
        // Polls go unanswered; the window keeps asking and waiting for the amplifier.
        const std::size_t asked = amp.WriteCount();
        RunUntil([] { return false; }, 6);
        EXPECT_GT(amp.WriteCount(), asked) << "the window stopped asking";
        EXPECT_TRUE(cal->PollRunning());
        EXPECT_TRUE(cal->Busy());
        EXPECT_EQ(Key("tips"), "${detect_speaker}");
        // Stop answers at once; the window is idle once the unanswered stop has timed out.
        ClickIn(cal, "start_auto_cal");
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(Key("tips"), "${irc_stoped}");
        EXPECT_TRUE(Button("closebtn")->isEnabled());
        ClickIn(cal, "closebtn");
        EXPECT_FALSE(cal->isVisible());
    });
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(Handshakes(), 0);
    amp.SetSilent(false);
}

TEST_F(AutoCal, DisconnectingClosesTheWindowAndEndsTheRun) {
    OpenWith(Defaults(5));
    WithCalibration([&] {
        Check("irc_eq");
        Start();
        ASSERT_TRUE(RunUntil([&] { return Key("tips") == "${detect_speaker}"; }));
        Controller().DisconnectDevice();
        ASSERT_TRUE(RunUntil([&] { return !cal->isVisible(); }));
        EXPECT_FALSE(cal->PollRunning());
    });
    EXPECT_EQ(Handshakes(), 0);
    EXPECT_FALSE(Controller().IsConnected());
}

}  // namespace
}  // namespace kavelo

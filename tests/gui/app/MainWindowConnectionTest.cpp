// The main window connected to a virtual amplifier on the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <ostream>

#include "AmplifierPresets.h"
#include "MainWindowFixture.h"
#include "StandingClock.h"
#include "TempDir.h"
#include "app/AppOptions.h"
#include "app/ConfigFile.h"
#include "app/DisplayCheck.h"
#include "app/MainWnd.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"
#include "controller/MainMessages.h"
#include "graph/UIEqualizer.h"
#include "sim/VirtualAmplifier.h"
#include "ui/LanguageService.h"
#include "ui/Prompts.h"
#include "windows/UpgradeWindowsFixture.h"

namespace kavelo {
namespace {

using test::TestMainWnd;
using test::WaitUntil;

// A state far from the defaults in every kind of setting the read-back covers.
DspState RichState() {
    DspState s;
    s.inputSource = 5;
    s.mainVolume = 24;  // the wire carries whole dB: not every position comes back
    s.mainVolumeMute = 1;
    s.ampPower = 0;
    const int roles[kOutputChannels] = {1, 7, 3, 9, 2, 8, 22, 23};
    for (int n = 0; n < kOutputChannels; ++n) {
        s.outputs[n] = roles[n];
        ChannelState& ch = s.channels[n];
        ch.gain = -3.0f * n;
        ch.mute = n % 3 == 1;
        ch.phase = n % 2;
        ch.delay = 0.125f * n + 0.5f;
        SetFilterType(ch.crossover.hp, 1 + n % 3);
        SetFilterFs(ch.crossover.hp, 60 + 40 * n);
        SetFilterSlope(ch.crossover.hp, n % 5);
        SetFilterType(ch.crossover.lp, 3 - n % 3);
        SetFilterFs(ch.crossover.lp, 8000 + 500 * n);
        SetFilterSlope(ch.crossover.lp, 8 - n);
        for (int b = 0; b < kEqBands; ++b) {
            ch.bands[b].freq = 25 + 600 * b;
            ch.bands[b].eqFactor = 0.5f + 0.25f * (b % 30);
            ch.bands[b].eqGain = static_cast<float>((b + n) % 13 - 6) * 1.5f;
        }
        ch.bands[4].enable = 0;  // a switched-off band still holds its gain
        ch.bypass = n == 3 ? 1 : 0;
    }
    for (int src = 0; src < kInputSources; ++src) {
        for (int o = 0; o < kOutputChannels; ++o) {
            s.inputs[src][o] = (src + o) % 7 + 1;
            for (int in = 0; in < kMaxInputChannels; ++in)
                s.inputMixVolume[src][in][o] = 10 + (src * 7 + in * 3 + o) % 90;
        }
    }
    s.linkMode = 1;
    s.lockMode = 1;
    ComputeLinkPairs(s);
    return s;
}

// Field by field: what the read-back fills from the amplifier.
void ExpectReadBack(const DspState& got, const DspState& want) {
    EXPECT_EQ(got.model, 87);
    EXPECT_EQ(got.inputSource, want.inputSource);
    EXPECT_EQ(got.mainVolume, want.mainVolume);
    EXPECT_EQ(got.mainVolumeMute, want.mainVolumeMute);
    EXPECT_EQ(got.ampPower, want.ampPower);
    EXPECT_EQ(got.outputs, want.outputs);
    EXPECT_EQ(got.linkMode, want.linkMode);
    EXPECT_EQ(got.lockMode, want.lockMode);
    EXPECT_EQ(got.linkOutputs, want.linkOutputs);
    EXPECT_EQ(got.inputs, want.inputs);
    for (int src = 0; src < kInputSources; ++src)
        for (int in = 0; in < InputChannelCount(src); ++in)
            EXPECT_EQ(got.inputMixVolume[src][in], want.inputMixVolume[src][in]) << src << in;
    for (int n = 0; n < kOutputChannels; ++n) {
        SCOPED_TRACE(n);
        const ChannelState& gch = got.channels[n];
        const ChannelState& wch = want.channels[n];
        EXPECT_FLOAT_EQ(gch.gain, wch.gain);
        EXPECT_EQ(gch.mute, wch.mute);
        EXPECT_EQ(gch.phase, wch.phase);
        EXPECT_NEAR(gch.delay, wch.delay, 0.001);
        EXPECT_EQ(gch.bypass, wch.bypass);
        for (auto [g, w] : {std::pair{gch.crossover.hp, wch.crossover.hp},
                            std::pair{gch.crossover.lp, wch.crossover.lp}}) {
            EXPECT_EQ(g.fs, w.fs);
            EXPECT_EQ(g.type, w.type);
            EXPECT_EQ(g.slope, w.slope);
            EXPECT_EQ(g.bypass, w.bypass);
        }
        for (int b = 0; b < kEqBands; ++b) {
            EXPECT_EQ(gch.bands[b].freq, wch.bands[b].freq) << b;
            EXPECT_NEAR(gch.bands[b].eqFactor, wch.bands[b].eqFactor, 0.006) << b;
            EXPECT_FLOAT_EQ(gch.bands[b].eqGain, wch.bands[b].eqGain) << b;
            EXPECT_EQ(gch.bands[b].enable, 1) << b;  // a reported band is applied
        }
    }
}

class Connection : public test::MainWindowFixture {};

// Link time stands still: only a close can end a read's retries.
class StandingTime : public Connection {
protected:
    void TearDown() override {
        clock.Expire();  // ends retries a failed test left waiting
        window.reset();  // the link uses the clock
        Connection::TearDown();
    }
    test::StandingClock clock;
};

TEST_F(Connection, ReadsTheWholeLiveStateAndShowsIt) {
    const DspState preset = RichState();
    amp.SetLiveState(LiveStateFromState(preset));
    AmpStoredScene scene = amp.StoredSceneState(3);
    scene.valid = true;
    scene.name = {};
    const char name[] = "Club";
    std::copy(name, name + 4, scene.name.begin());
    amp.SetStoredScene(3, scene);
    Open();
    ASSERT_TRUE(Controller().IsConnected());

    ExpectReadBack(Controller().Live(), preset);
    EXPECT_EQ(Controller().Model().validScenes & (1 << 2), 1 << 2);
    EXPECT_EQ(SceneNameToUtf8(Controller().Model().names[2]), "Club");

    // The controls show it, one of each kind.
    EXPECT_EQ(Key("btnConnect"), "${btn_connected}");
    EXPECT_TRUE(WindowImplBase::IsSelected(Control<QAbstractButton>("btnConnect")));
    EXPECT_EQ(Control<QComboBox>("btn_input_source")->currentIndex(), 5);
    EXPECT_EQ(Control<QAbstractSlider>("slider_main_volume")->value(), 24);
    EXPECT_EQ(Text("edit_main_volume"), "24");
    EXPECT_TRUE(WindowImplBase::IsSelected(Control<QAbstractButton>("main_mute")));
    EXPECT_EQ(Key("btn_amp_onoff"), "${amp_off}");
    EXPECT_EQ(Control<QAbstractSlider>("slider_ch_volume_2")->value(), -60);
    EXPECT_EQ(Text("edit_ch_volume_2"), "-6dB");
    EXPECT_TRUE(WindowImplBase::IsSelected(Control<QAbstractButton>("ch_mute_4")));
    EXPECT_FALSE(WindowImplBase::IsSelected(Control<QAbstractButton>("ch_mute_3")));
    EXPECT_EQ(Key("ch_phase_1"), "${reverse phase}");
    EXPECT_EQ(Key("ch_phase_2"), "${positive_phase}");
    EXPECT_EQ(Text("edit_ch_delay_2"), "0.750 ms");
    EXPECT_EQ(Key("ch_output_btn_0"), "${front_left_tweeter}");
    EXPECT_TRUE(Control("speaker_22")->isVisibleTo(window.get()));
    EXPECT_FALSE(Control("speaker_6")->isVisibleTo(window.get()));
    const int mask = preset.inputs[5][1];
    for (int k = 0; k < kMaxInputChannels; ++k)
        EXPECT_EQ(WindowImplBase::IsSelected(
                      Control<QAbstractButton>(QString::asprintf("option_ch_in%d_1", k + 1))),
                  ((mask >> k) & 1) != 0)
            << k;
    EXPECT_TRUE(WindowImplBase::IsSelected(Control<QAbstractButton>("btn_link_output")));
    EXPECT_TRUE(WindowImplBase::IsSelected(Control<QAbstractButton>("btn_lock_output")));
    EXPECT_FALSE(Control("ch_output_btn_5")->isEnabled());
    // Output 0 is the current one: its crossover and bands.
    EXPECT_EQ(Text("hp_freq"), "60Hz");
    EXPECT_EQ(Control<QComboBox>("lp_slop")->currentIndex(), 8);
    const EqBand& band7 = preset.channels[0].bands[7];
    EXPECT_EQ(Text("eq_freq_7"), QString::number(band7.freq));
    EXPECT_EQ(Text("eq_gain_7"), QString::asprintf("%.1f", band7.eqGain));
    EXPECT_EQ(Control<QAbstractSlider>("eq_slider_7")->value(),
              static_cast<int>(band7.eqGain * 10));
    // The curve control got the current channel's bands and corners.
    EXPECT_EQ(Controller().LastCurveView().hp, 60);
    EXPECT_EQ(Controller().LastCurveView().count, kEqBands);
    EXPECT_TRUE(prompts.texts.isEmpty()) << prompts.texts.join(',').toStdString();
}

TEST_F(Connection, ReadsTheSharedRichPreset) {
    test::ApplyRichPreset(amp);
    Open();
    ASSERT_TRUE(Controller().IsConnected());
    ExpectReadBack(Controller().Live(), test::RichLiveState());
}

TEST_F(Connection, TheApplicationLayoutShowsTheState) {
    test::ApplyRichPreset(amp);
    Open(true);
    ASSERT_TRUE(Controller().IsConnected());
    const DspState want = test::RichLiveState();
    EXPECT_EQ(Key("btnConnect"), "${btn_connected}");
    EXPECT_EQ(Control<QComboBox>("btn_input_source")->currentIndex(), want.inputSource);
    for (int n = 0; n < kOutputChannels; ++n) {
        SCOPED_TRACE(n);
        const ChannelState& ch = want.channels[n];
        EXPECT_EQ(Control<QAbstractSlider>(QString::asprintf("slider_ch_volume_%d", n))->value(),
                  static_cast<int>(ch.gain * 10));
        EXPECT_EQ(WindowImplBase::IsSelected(
                      Control<QAbstractButton>(QString::asprintf("ch_mute_%d", n))),
                  ch.mute != 0);
        EXPECT_EQ(Key(QString::asprintf("ch_output_btn_%d", n)),
                  SpeakerRole(want.outputs[n]).longText);
    }
    EXPECT_EQ(Text("hp_freq"), QString::asprintf("%dHz", want.channels[0].crossover.hp.fs));
    // The curve control holds the current output's bands and corners.
    auto* curve = dynamic_cast<UIEqualizer*>(Control("equalizer"));
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->GetBandCount(), kEqBands);
    EXPECT_EQ(curve->GetHpFreq(), want.channels[0].crossover.hp.fs);
    EXPECT_EQ(curve->GetBand(7).freq, want.channels[0].bands[7].freq);
}

TEST_F(Connection, ClosingDuringTheReadBackEndsTheWorker) {
    // The amplifier holds its answers: the connection worker waits in its first
    // exchange while the window closes (no race with a read-back that finishes).
    amp.HoldReplies(true);
    window = MakeWindow();
    ASSERT_TRUE(window->Create(QStringLiteral("Kavelo DSP Audio")));
    ASSERT_TRUE(amp.WaitForWaitingRead(std::chrono::seconds(10)));
    window.reset();  // joins the worker; nothing it touches is gone before
    amp.HoldReplies(false);
    EXPECT_FALSE(amp.HostConnected());
    EXPECT_LT(amp.WriteCount(), 1u + ReadBackExchangeCount());
}

TEST_F(Connection, ButtonStatesAndConnectTogglesTheLink) {
    amp.Unplug();
    Open();
    EXPECT_EQ(Key("btnConnect"), "${btn_disconnected}");
    EXPECT_FALSE(WindowImplBase::IsSelected(Control<QAbstractButton>("btnConnect")));
    EXPECT_EQ(Control("btnConnect")->property("textColor").toUInt(), 0xFFFF0000u);
    EXPECT_TRUE(prompts.texts.isEmpty());  // start-up attempts stay quiet

    Control<QAbstractButton>("btnConnect")->click();  // user: the failure is shown
    EXPECT_EQ(prompts.texts, QStringList{"${device_connect_fail}"});

    amp.Plug();
    Control<QAbstractButton>("btnConnect")->click();
    EXPECT_EQ(Key("btnConnect"), "${btn_connecting}");
    EXPECT_EQ(Control("btnConnect")->property("textColor").toUInt(), 0xFFFF0000u);
    ASSERT_TRUE(WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
    EXPECT_EQ(Key("btnConnect"), "${btn_connected}");
    EXPECT_EQ(Control("btnConnect")->property("textColor").toUInt(), 0xFFFFFFFFu);
    EXPECT_TRUE(amp.HostConnected());

    Control<QAbstractButton>("btnConnect")->click();  // pressing while connected disconnects
    EXPECT_EQ(Key("btnConnect"), "${btn_disconnected}");
    EXPECT_FALSE(Controller().Link().IsDeviceOpen());
    EXPECT_FALSE(Controller().Link().IsCmdQueueEnabled());
    EXPECT_EQ(Controller().Live().model, -1);
    EXPECT_FALSE(amp.HostConnected());  // told that we leave
}

struct FailureCase {
    const char* name;
    std::function<void(VirtualAmplifier&)> arrange;
    QStringList expectedTexts;  // resolved where a key is followed by a number
    bool linkOpenAfter;
    bool updateWindow = false;  // the firmware update window follows the box
};

// Closes the firmware update window as soon as it shows; `shown` tells whether it did.
void CloseUpdateWindowOnceShown(bool* shown) {
    test::WhenWindowShown<CUpdateFwWnd>(
        [shown](CUpdateFwWnd* w) {
            *shown = w != nullptr;
            if (w) w->Close(0);
        },
        15000);
}
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class ConnectionFailure : public Connection, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConnectionFailure, IsShownAndLeavesTheRightLinkState) {
    const FailureCase& c = GetParam();
    c.arrange(amp);
    bool updateWindow = false;
    if (c.updateWindow) CloseUpdateWindowOnceShown(&updateWindow);
    Open();
    EXPECT_EQ(updateWindow, c.updateWindow);
    EXPECT_FALSE(Controller().IsConnected());
    QStringList expected = c.expectedTexts;
    for (QString& t : expected)
        t.replace(QStringLiteral("${device_not_match}"), GetText("${device_not_match}"));
    EXPECT_EQ(prompts.texts, expected);
    EXPECT_EQ(Controller().Link().IsDeviceOpen(), c.linkOpenAfter);
    EXPECT_FALSE(Controller().Link().IsCmdQueueEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectionFailure,
    ::testing::Values(FailureCase{"HandshakeSilence",
                                  [](VirtualAmplifier& a) { a.SetSilent(true); },
                                  {"${device_connect_fail}"},
                                  false},
                      FailureCase{"WrongModel",
                                  [](VirtualAmplifier& a) { a.SetModel(88); },
                                  {"${device_not_match} 88"},
                                  false},
                      // The loader only answers the handshake; the update window takes over.
                      FailureCase{"LoaderMode",
                                  [](VirtualAmplifier& a) { a.SetLoaderMode(true); },
                                  {"${device_status_unnormal}"},
                                  true,
                                  true}),
    [](const auto& info) { return std::string(info.param.name); });

// The cable is pulled in the middle of the read-back: the user is told, the
// link is closed, the worker has ended and nothing waits.
TEST_F(Connection, UnplugDuringTheReadBack) {
    amp.UnplugAtExchange(30);
    Open();
    EXPECT_EQ(prompts.texts, QStringList{"${device_connect_fail}"});
    EXPECT_FALSE(Controller().Link().IsDeviceOpen());
    EXPECT_TRUE(Controller().WaitForWorkers(0));
    EXPECT_FALSE(window->LoadingWindowOpen());
    EXPECT_EQ(Key("btnConnect"), "${btn_disconnected}");
    EXPECT_FALSE(Controller().Link().IsCmdQueueEnabled());
}

TEST_F(Connection, LoaderModeReadsNothing) {
    amp.SetLoaderMode(true);
    bool updateWindow = false;
    CloseUpdateWindowOnceShown(&updateWindow);
    Open();
    EXPECT_TRUE(updateWindow);
    EXPECT_EQ(amp.WriteCount(), 2u);  // PC_Connect and the handshake
}

TEST_F(Connection, ForcedUpdateDecision) {
    struct Row {
        int master, slave;
        bool marker, expected;
    };
    const Row rows[] = {
        {1, 17, false, true}, {1, 18, false, false}, {2, 0, false, false}, {1, 17, true, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.master << "." << r.slave << " marker " << r.marker);
        ScopedCurrentDir cwd;
        if (r.marker) std::ofstream(cwd.path() / "noForceUpdate.ini") << "";
        amp.SetVersions(r.master, r.slave);
        int forced = 0;
        window = MakeWindow();
        window->Controller().Hooks().startForceUpdate = [&] { ++forced; };
        ASSERT_TRUE(window->Create(QStringLiteral("Kavelo DSP Audio")));
        ASSERT_TRUE(WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
        QApplication::processEvents();
        EXPECT_EQ(forced, r.expected ? 1 : 0);
        window.reset();
    }
}

TEST_F(Connection, PlugEventsFollowTheInterfaceTest) {
    Open();
    ASSERT_TRUE(Controller().IsConnected());
    // Another device's removal changes nothing.
    monitor->Report(DeviceMonitor::Change::Removal,
                    "HID#/devices/pci0000:00/usb1/1-2/0003:046D:C52B.0004/hidraw/hidraw1");
    EXPECT_TRUE(Controller().IsConnected());

    const QString ours = "HID#/devices/pci0000:00/usb1/1-1/0003:0483:5750.0003/hidraw/hidraw2";
    monitor->Report(DeviceMonitor::Change::Removal, ours);
    EXPECT_FALSE(Controller().Link().IsDeviceOpen());
    EXPECT_EQ(Key("btnConnect"), "${btn_disconnected}");
    ASSERT_TRUE(WaitUntil([&] { return prompts.texts.contains("${device_plugout}"); }));

    monitor->Report(DeviceMonitor::Change::Arrival, ours);
    ASSERT_TRUE(WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
}

// The cable is pulled while the worker sends a dragged setting: its read of
// the reply fails at once on the dead handle and is retried for up to 10 s.
// The removal's disconnect must end that at once instead of freezing the
// window until the time-out.
TEST_F(StandingTime, RemovalDuringAQueuedSettingDoesNotFreezeTheWindow) {
    linkClock = &clock;
    Open();
    ASSERT_TRUE(Controller().IsConnected());
    const std::size_t written = amp.WriteCount();
    amp.UnplugAtExchange(static_cast<int>(written) + 1);
    ASSERT_TRUE(Controller().Link().Main_Volume_Ctrl(-20.0f, false));
    ASSERT_TRUE(clock.WaitForPauses(1, std::chrono::seconds(30)));  // the worker retries

    // Should the removal not end the retries, this ends them so that the test
    // fails instead of hanging; a watchdog that had to fire is the fault itself.
    std::promise<void> handled;
    auto watchdog = std::async(std::launch::async, [this, done = handled.get_future()] {
        if (done.wait_for(std::chrono::seconds(20)) == std::future_status::ready) return false;
        clock.Expire();
        return true;
    });
    monitor->Report(DeviceMonitor::Change::Removal,
                    "HID#/devices/pci0000:00/usb1/1-1/0003:0483:5750.0003/hidraw/hidraw2");
    handled.set_value();
    EXPECT_FALSE(watchdog.get()) << "the removal did not end the worker's retries";
    EXPECT_EQ(clock.Pauses(), 1);  // the first pause was ended by the close, not by time
    EXPECT_FALSE(Controller().Link().IsDeviceOpen());
    EXPECT_EQ(Key("btnConnect"), "${btn_disconnected}");
}

TEST(InterfaceName, NeedsAllThreeTexts) {
    struct Row {
        const char* name;
        bool matches;
    };
    const Row rows[] = {
        {"HID#/devices/x/0003:0483:5750.0001/hidraw/hidraw0", true},
        {"\\\\?\\HID#VID_0483&PID_5750#7&1", true},
        {"HID#/devices/x/0003:0484:5750.0001/hidraw/hidraw0", false},  // no 0483
        {"HID#/devices/x/0003:0483:5751.0001/hidraw/hidraw0", false},  // no 5750
        {"hid#/devices/x/0003:0483:5750.0001", false},                 // case-sensitive
    };
    for (const Row& r : rows)
        EXPECT_EQ(CMainWnd::IsAmplifierInterface(r.name), r.matches) << r.name;
    // What the udev monitor makes of a hidraw node of the amplifier.
    EXPECT_TRUE(CMainWnd::IsAmplifierInterface(
        HidInterfaceName("/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/"
                         "0003:0483:5750.0007/hidraw/hidraw5")));
    EXPECT_EQ(ChangeOfUdevAction("add"), DeviceMonitor::Change::Arrival);
    EXPECT_EQ(ChangeOfUdevAction("remove"), DeviceMonitor::Change::Removal);
    EXPECT_EQ(ChangeOfUdevAction("change"), DeviceMonitor::Change::Other);
}

TEST_F(Connection, DspStatusReportDisconnects) {
    for (int value : {1, 0}) {
        SCOPED_TRACE(value);
        prompts.texts.clear();
        Open();
        ASSERT_TRUE(Controller().IsConnected());
        // The amplifier reports on its own; the next exchange carries it in.
        amp.SendDspStatus(static_cast<std::uint8_t>(value));
        Controller().RequestMainVolume();
        ASSERT_TRUE(WaitUntil([&] { return !Controller().Link().IsDeviceOpen(); }));
        EXPECT_EQ(Key("btnConnect"), "${btn_disconnected}");
        EXPECT_EQ(prompts.texts, value == 0 ? QStringList{"${dsp_is_off}"} : QStringList{});
        window.reset();
        // The answer to the volume request is still queued in the virtual
        // amplifier; a new open of a real device starts with an empty queue.
        amp.Unplug();
        amp.Plug();
    }
}

TEST_F(Connection, ReportedMainVolumeOnTheControls) {
    struct Row {
        int reported, position;
        const char* edit;
    };
    const Row rows[] = {{0, 28, "28"}, {-60, 1, "1"}, {-100, 0, "${off}"}};
    Open();
    for (const Row& r : rows) {
        // The amplifier holds the volume and answers the window's request for it.
        AmpLiveState live = amp.LiveState();
        live.mainVolume = static_cast<std::uint8_t>(r.reported);
        amp.SetLiveState(live);
        Controller().RequestMainVolume();
        ASSERT_TRUE(WaitUntil([&] {
            return Control<QAbstractSlider>("slider_main_volume")->value() == r.position &&
                   Controller().WaitForWorkers(0);
        })) << r.reported;
        QApplication::processEvents();
        EXPECT_EQ(Control<QAbstractSlider>("slider_main_volume")->value(), r.position);
        const QString edit =
            Key("edit_main_volume").isEmpty() ? Text("edit_main_volume") : Key("edit_main_volume");
        EXPECT_EQ(edit, r.edit) << r.reported;
    }
}

TEST_F(Connection, SecondInstanceClosesItself) {
    Open();
    ASSERT_TRUE(Controller().IsConnected());
    ASSERT_TRUE(window->OwnsInstanceLock());
    VirtualAmplifier otherAmp;
    TestMainWnd second(otherAmp, CMainWnd::DetachedOptions(lockDir.path()));
    ASSERT_TRUE(second.Create(QStringLiteral("Kavelo DSP Audio")));
    second.show();
    EXPECT_EQ(prompts.texts, QStringList{"${mutex_tips}"});
    ASSERT_TRUE(WaitUntil([&] { return !second.isVisible(); }));
    EXPECT_EQ(otherAmp.WriteCount(), 0u);  // never connected
    EXPECT_TRUE(Controller().IsConnected());
}

TEST_F(Connection, ClosingDisconnects) {
    Open();
    ASSERT_TRUE(Controller().IsConnected());
    window->show();
    Control<QAbstractButton>("closebtn")->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(Controller().Link().IsDeviceOpen());
    EXPECT_FALSE(amp.HostConnected());
}

// Settings made an instant before closing still reach the amplifier: the close
// lets the queue finish first, but a silent amplifier cannot hold it up for
// each command's reply time.
TEST_F(Connection, ClosingRightAfterEditsSendsThemFirst) {
    struct Row {
        const char* name;
        bool silent;
    };
    for (const Row& r : {Row{"slow amplifier", false}, Row{"silent amplifier", true}}) {
        SCOPED_TRACE(r.name);
        Open();
        ASSERT_TRUE(Controller().IsConnected());
        window->show();
        amp.SetReplyDelay(std::chrono::milliseconds(r.silent ? 0 : 40));
        amp.HoldReplies(r.silent);
        const std::size_t before = amp.WriteCount();
        constexpr int kEdits = 8;
        for (int i = 0; i < kEdits; ++i)
            ASSERT_TRUE(Controller().Link().Main_Volume_Ctrl(-10.0f - i, false));
        QElapsedTimer closing;
        closing.start();
        Control<QAbstractButton>("closebtn")->click();
        const qint64 closeMs = closing.elapsed();
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(Controller().Link().IsDeviceOpen());
        // Slow: all eight went out, each answered, before the link closed (plus
        // the leaving notice). Silent: the close did not wait out the reply
        // time of each (that would be 80 s): it gives the queue 3 s at most.
        const std::size_t written = amp.WriteCount() - before;
        if (r.silent) {
            EXPECT_GE(written, 1u);
            EXPECT_LT(closeMs, 8000) << "closing waited for a silent amplifier";
        } else {
            EXPECT_EQ(written, static_cast<std::size_t>(kEdits) + 1);
        }
        amp.HoldReplies(false);
        amp.SetReplyDelay(std::chrono::milliseconds(0));
        window.reset();
    }
}

// The configuration file in a folder of the test's own; the user's XDG_CONFIG_HOME
// comes back whatever way the test ends.
class OwnConfig : public Connection {
protected:
    void SetUp() override {
        Connection::SetUp();
        hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        oldConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(cwd.path().string()));
    }
    void TearDown() override {
        Connection::TearDown();
        if (hadConfigHome)
            qputenv("XDG_CONFIG_HOME", oldConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    ScopedCurrentDir cwd;
    QByteArray oldConfigHome;
    bool hadConfigHome = false;
};

TEST_F(OwnConfig, StoredLanguageIsUsedAtStart) {
    amp.Unplug();
    struct Row {
        int stored;
        const char* language;
        const char* disconnected;  // the connection button's text in that language
    };
    for (const Row& r :
         {Row{2, "ru", "Не подключено"}, Row{1, "cn_zh", "未连接"}, Row{0, "en", "Disconnected"}}) {
        SCOPED_TRACE(r.language);
        ASSERT_TRUE(ConfigFile().SetInt(QStringLiteral("lan"), r.stored));
        Open(true);
        EXPECT_EQ(LanguageService::Instance().GetLanguage(), r.language);
        EXPECT_EQ(Control<QAbstractButton>("btnConnect")->text(),
                  QString::fromUtf8(r.disconnected));
        window.reset();
    }
}

TEST_F(OwnConfig, LanguageItemsSwitchAndStoreTheChoice) {
    amp.Unplug();
    Open(true);
    window->show();
    // From the option menu's language submenu, as a user chooses.
    struct Row {
        const char* item;
        const char* language;
        int stored;
    };
    for (const Row& r :
         {Row{"option_item_language_ru", "ru", 2}, Row{"option_item_language_cn", "cn_zh", 1},
          Row{"option_item_language_en", "en", 0}}) {
        QTest::mouseClick(Control("btn_option"), Qt::LeftButton);
        QMenu* menu = VisibleMenu();
        ASSERT_NE(menu, nullptr);
        QAction* heading = WindowImplBase::FindMenuItem(menu, "option_item_language_menu");
        ASSERT_TRUE(heading && heading->menu());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(heading).center());
        QMenu* languages = heading->menu();
        ASSERT_TRUE(WaitUntil([&] { return languages->isVisible(); }));
        QAction* item = WindowImplBase::FindMenuItem(languages, r.item);
        ASSERT_NE(item, nullptr) << r.item;
        QTest::mouseClick(languages, Qt::LeftButton, {}, languages->actionGeometry(item).center());
        ASSERT_TRUE(WaitUntil([&] {
            return LanguageService::Instance().GetLanguage() == r.language;
        })) << r.item;
        EXPECT_EQ(ConfigFile().GetInt("lan", -1), r.stored) << r.item;
    }
    // Commands no menu of this layout sends, as another skin's menus would.
    struct Posted {
        const char* item;
        const char* language;
    };
    for (const Posted& r :
         {Posted{"option_item_language", "cn_zh"},  // toggles from English
          Posted{"option_item_language", "en"}, Posted{"OPTION_ITEM_LANGUAGE_CN", "cn_zh"},
          Posted{"scene_item_unknown", "cn_zh"}}) {
        PostWindowMessage(window.get(), WM_MENU_COMMAND, 0, {}, r.item);
        QApplication::processEvents();
        EXPECT_EQ(LanguageService::Instance().GetLanguage(), r.language) << r.item;
    }
}

// Whether a window can be tried, decided before Qt would abort without a display.
TEST(CommandLine, NoDisplayIsToldBeforeQtStarts) {
    struct Row {
        const char* name;
        std::map<std::string, std::string> env;
        std::vector<const char*> args;
        bool refused;
    };
    const Row rows[] = {
        {"nothing set", {}, {"kavelo-dsp"}, true},
        {"empty DISPLAY", {{"DISPLAY", ""}}, {"kavelo-dsp"}, true},
        {"X11", {{"DISPLAY", ":0"}}, {"kavelo-dsp"}, false},
        {"Wayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, {"kavelo-dsp"}, false},
        {"platform asked for", {{"QT_QPA_PLATFORM", "offscreen"}}, {"kavelo-dsp"}, false},
        {"-platform argument", {}, {"kavelo-dsp", "-platform", "offscreen"}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const auto lookup = [&](const char* name) -> const char* {
            const auto it = r.env.find(name);
            return it == r.env.end() ? nullptr : it->second.c_str();
        };
        std::vector<char*> argv;
        for (const char* a : r.args) argv.push_back(const_cast<char*>(a));
        const std::string reason =
            NoDisplayReason(lookup, static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(!reason.empty(), r.refused) << reason;
        if (r.refused) {
            EXPECT_EQ(reason.rfind("no display found", 0), 0u) << reason;
        }
    }
}

TEST(CommandLine, Options) {
    struct Row {
        std::vector<const char*> args;
        int exitCode;
        const char* outputStart;
        bool demo;
    };
    const Row rows[] = {
        {{"kavelo-dsp"}, -1, "", false},
        {{"kavelo-dsp", "--demo"}, -1, "", true},
        {{"kavelo-dsp", "--version"},
         0,
         "kavelo-dsp (Kavelo DSP) 6.7.55\nFor the TRQ5.40AMP amplifier, firmware 1.18.\n",
         false},
        {{"kavelo-dsp", "--help"}, 0, "Usage: kavelo-dsp [OPTION]...\n", false},
        {{"kavelo-dsp", "--demo", "--frobnicate"},
         2,
         "kavelo-dsp: unrecognized option '--frobnicate'\nTry 'kavelo-dsp --help' for more "
         "information.\n",
         true},
        {{"kavelo-dsp", "--demo", "--firmware", "1.17"}, -1, "", true},
        {{"kavelo-dsp", "--firmware", "1.17"},
         2,
         "kavelo-dsp: --firmware is for the virtual amplifier",
         false},
        {{"kavelo-dsp", "--demo", "--firmware", "1.x"},
         2,
         "kavelo-dsp: --firmware needs a version",
         true},
        {{"kavelo-dsp", "--demo", "--firmware", "1.256"},
         2,
         "kavelo-dsp: --firmware needs a version",
         true},
        {{"kavelo-dsp", "--demo", "--firmware"}, 2, "kavelo-dsp: --firmware needs a version", true},
        {{"kavelo-dsp", "--screenshot"}, 2, "kavelo-dsp: --screenshot needs a file name", false},
    };
    for (const Row& r : rows) {
        std::vector<char*> argv;
        for (const char* a : r.args) argv.push_back(const_cast<char*>(a));
        const AppOptions o = ParseAppOptions(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(o.exitCode, r.exitCode) << r.args.back();
        EXPECT_EQ(o.output.rfind(r.outputStart, 0), 0u) << o.output;
        EXPECT_EQ(o.demo, r.demo) << r.args.back();
    }
    const char* shot[] = {"kavelo-dsp", "--demo", "--screenshot", "main.png"};
    EXPECT_EQ(ParseAppOptions(4, const_cast<char**>(shot)).screenshot, "main.png");
    const char* old[] = {"kavelo-dsp", "--firmware", "0.9", "--demo"};
    const AppOptions firmware = ParseAppOptions(4, const_cast<char**>(old));
    EXPECT_EQ(firmware.demoFirmwareMajor, 0);
    EXPECT_EQ(firmware.demoFirmwareMinor, 9);
}

}  // namespace
}  // namespace kavelo

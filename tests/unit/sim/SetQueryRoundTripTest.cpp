#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "LinkedAmplifier.h"
#include "control/DspOperations.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

// Every setter of the catalogue against its query, through the link and the
// virtual amplifier: what is set reads back, within its encoding's precision,
// live (scene 0) and in a stored scene (written with its number, stored with
// store-now 1 and read back after ReadScene(k, 255)) without touching the other.
namespace kavelo {
namespace {

using test::RecordingSink;

struct Sinks {
    const RecordingSink& main;
    const RecordingSink& mem;
};

struct RoundTrip {
    const char* name;
    bool sceneAddressed;
    std::function<bool(DeviceLink&, VirtualAmplifier&, std::uint8_t scene)> set;
    std::function<bool(DeviceLink&, std::uint8_t scene)> query;
    std::function<void(const Sinks&, std::uint8_t scene)> check;
};

struct Case {
    RoundTrip trip;
    std::uint8_t scene;
    std::string Name() const { return std::string(trip.name) + "_scene" + std::to_string(scene); }
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.Name(); }

template <typename T>
ChannelArray<T> Values(std::initializer_list<T> values) {
    ChannelArray<T> a{};
    int c = 0;
    for (T v : values) a[c++] = v;
    return a;
}

// The records the main receiver got, each checked to name `scene`.
template <typename Record>
std::vector<Record> SceneRecords(const Sinks& sinks, std::uint8_t scene) {
    const std::vector<Record> records = sinks.main.RecordsOf<Record>();
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].scene, scene) << i;
    return records;
}

// One-byte-per-channel settings: the values set on channels 0..7 and the
// records read back.
RoundTrip ByteSetting(const char* name,
                      bool (DeviceLink::*setter)(std::uint8_t, std::uint8_t, int, int,
                                                 const ChannelArray<std::uint8_t>&, bool),
                      bool (DeviceLink::*query)(std::uint8_t, std::uint8_t, int, int),
                      ChannelArray<std::uint8_t> values) {
    return {name, true,
            [=](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
                return (l.*setter)(s, 0, 0, 7, values, true);
            },
            [=](DeviceLink& l, std::uint8_t s) { return (l.*query)(s, 0, 0, 7); },
            [=](const Sinks& sinks, std::uint8_t s) {
                const auto records = SceneRecords<DspChannelValueRecord>(sinks, s);
                ASSERT_EQ(records.size(), 8u);
                for (int c = 0; c < 8; ++c) {
                    EXPECT_EQ(records[c].channel, c);
                    EXPECT_EQ(records[c].value, values[c]) << c;
                }
            }};
}

// Settings that exist only live: one value read back as a number.
RoundTrip LiveNumber(const char* name, std::function<bool(DeviceLink&, VirtualAmplifier&)> set,
                     bool (DeviceLink::*query)(), std::int64_t expected) {
    return {name, false,
            [=](DeviceLink& l, VirtualAmplifier& a, std::uint8_t) { return set(l, a); },
            [=](DeviceLink& l, std::uint8_t) { return (l.*query)(); },
            [=](const Sinks& sinks, std::uint8_t) {
                const auto messages = sinks.main.Messages();
                ASSERT_EQ(messages.size(), 1u);
                EXPECT_EQ(std::get<std::int64_t>(messages[0].lParam), expected);
            }};
}

std::vector<RoundTrip> Trips() {
    return {
        {"Filter", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             return l.Filter_Ctrl(s, 0, 2, 2, 3, 120, 6, true) &&
                    l.Filter_Ctrl(s, 0, 2, 1, 1, 8000, 3, true);
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_Filter(s, 0, 2, 2); },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto r = SceneRecords<DspFilterRecord>(sinks, s);
             ASSERT_EQ(r.size(), 1u);
             EXPECT_EQ(r[0].channel, 2);
             EXPECT_EQ(std::vector<int>({r[0].hpType, r[0].hpFrequency, r[0].hpSlope, r[0].lpType,
                                         r[0].lpFrequency, r[0].lpSlope}),
                       std::vector<int>({3, 120, 6, 1, 8000, 3}));
         }},
        {"Eq", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             return l.EQ_Ctrl(s, 0, 4, 29, 20, 9.0f, 12.0f, true) &&
                    l.EQ_Ctrl(s, 0, 4, 30, 16000, 2.5f, -3.5f, true);
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_EQ(s, 0, 4, 29, 30); },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto r = SceneRecords<DspEqBandRecord>(sinks, s);
             ASSERT_EQ(r.size(), 2u);
             EXPECT_EQ(r[0].channel, 4);
             EXPECT_EQ(r[0].band, 29);
             EXPECT_EQ(r[0].frequency, 20);
             EXPECT_FLOAT_EQ(r[0].q, 9.0f);
             EXPECT_FLOAT_EQ(r[0].gain, 12.0f);
             EXPECT_EQ(r[1].frequency, 16000);
             // Tenths written, hundredths read: the amplifier converts.
             EXPECT_EQ(r[1].q, 2.5f);
             EXPECT_FLOAT_EQ(r[1].gain, -3.5f);
         }},
        {"EqReset", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             return l.EQ_Ctrl(s, 0, 1, 3, 1234, 1.5f, 6.0f, true) &&
                    l.EQ_Ctrl(s, 0, 2, 3, 1234, 1.5f, 6.0f, true) &&
                    l.PEQ_Reset_Ctrl(s, 0, {1}, true);
         },
         [](DeviceLink& l, std::uint8_t s) {
             return l.Get_EQ(s, 0, 1, 3, 3) && l.Get_EQ(s, 0, 2, 3, 3);
         },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto r = SceneRecords<DspEqBandRecord>(sinks, s);
             ASSERT_EQ(r.size(), 2u);
             EXPECT_EQ(r[0].frequency, 40);  // third-octave band 3, flat
             EXPECT_FLOAT_EQ(r[0].q, 5.8f);
             EXPECT_FLOAT_EQ(r[0].gain, 0.0f);
             EXPECT_FLOAT_EQ(r[1].gain, 6.0f);  // channel 2 was not reset
         }},
        {"Delay", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             return l.Delay_Ctrl(
                 s, 0, 0, 7, Values<float>({0.0f, 0.001f, 0.5f, 1.25f, 2.999f, 7.5f, 14.2f, 15.0f}),
                 true);
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_Delay(s, 0, 0, 7); },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto expected =
                 Values<float>({0.0f, 0.001f, 0.5f, 1.25f, 2.999f, 7.5f, 14.2f, 15.0f});
             const auto r = SceneRecords<DspDelayRecord>(sinks, s);
             ASSERT_EQ(r.size(), 8u);
             for (int c = 0; c < 8; ++c) {
                 EXPECT_NEAR(r[c].delayMs, expected[c], 0.001) << c;  // whole microseconds
             }
         }},
        {"Trim", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             // Written as 0 - gain, as the host does; reported as the gain.
             return l.Trim_Ctrl(s, 0, 0, 7, Values<float>({60, 45, 33, 12, 6.5f, 1, 0, -12}), true);
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_Trim(s, 0, 0, 7); },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto expected = Values<float>({-60, -45, -33, -12, -6, -1, 0, 12});  // whole dB
             const auto r = SceneRecords<DspTrimRecord>(sinks, s);
             ASSERT_EQ(r.size(), 8u);
             for (int c = 0; c < 8; ++c) {
                 EXPECT_FLOAT_EQ(r[c].trimDb, expected[c]) << c;
             }
         }},
        ByteSetting("ChannelMute", &DeviceLink::Mute_Ch_Ctrl, &DeviceLink::Get_Mute_Ch,
                    Values<std::uint8_t>({1, 0, 0, 1, 1, 0, 1, 0})),
        ByteSetting("Phase", &DeviceLink::Phase_Ctrl, &DeviceLink::Get_Phase,
                    Values<std::uint8_t>({0, 1, 1, 0, 0, 1, 0, 1})),
        ByteSetting("SpeakerType", &DeviceLink::CH_Type_Ctrl, &DeviceLink::Get_CH_Type,
                    Values<std::uint8_t>({3, 9, 1, 7, 14, 17, 24, 0})),
        ByteSetting("EqBypass", &DeviceLink::PEQ_Bypass_Ctrl, &DeviceLink::Get_PEQ_Bypass,
                    Values<std::uint8_t>({0, 1, 0, 0, 1, 1, 0, 0})),
        {"Mix", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             return l.Mix_Ch_Ctrl(s, 5, 0, 7, Values<std::uint16_t>({1, 2, 4, 8, 16, 32, 63, 0}),
                                  true);
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_Mix_Ch(s, 5, 0, 7); },
         [](const Sinks& sinks, std::uint8_t s) {
             const int expected[8] = {1, 2, 4, 8, 16, 32, 63, 0};
             const auto r = SceneRecords<DspMixRecord>(sinks, s);
             ASSERT_EQ(r.size(), 8u);
             for (int c = 0; c < 8; ++c) {
                 EXPECT_EQ(r[c].source, 5);
                 EXPECT_EQ(r[c].mix, expected[c]) << c;
             }
         }},
        {"InputMixTrim", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             return l.Input_Mix_Trim_Ctrl(s, 5, 4, 2, 5,
                                          Values<std::uint8_t>({0, 0, 10, 0xF6, 100, 0}), true);
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_Input_Mix_CH_Trim(s, 5, 4, 2, 5); },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto r = SceneRecords<DspInputMixTrimRecord>(sinks, s);
             ASSERT_EQ(r.size(), 1u);
             EXPECT_EQ(r[0].source, 5);
             EXPECT_EQ(r[0].inputChannel, 4);
             EXPECT_EQ(r[0].firstOutput, 2);
             EXPECT_EQ(r[0].lastOutput, 5);
             EXPECT_EQ(std::vector<int>(r[0].trim, r[0].trim + 5),
                       std::vector<int>({10, 0xF6, 100, 0, 0}));
         }},
        {"Link", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             return l.CH_Link_Ctrl(s, 1, {{0, 1}, {2, 3}}, true);
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_CH_Link(s); },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto r = SceneRecords<DspLinkRecord>(sinks, s);
             ASSERT_EQ(r.size(), 1u);
             EXPECT_EQ(r[0].link, 1);
             EXPECT_EQ(std::vector<int>(r[0].links, r[0].links + 4),
                       std::vector<int>({0x01, 0x23, 0xFF, 0xFF}));
         }},
        {"Lock", true,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t s) {
             return l.CH_Lock_Ctrl(s, 1, true);
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_CH_Lock(s); },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto r = SceneRecords<DspLockRecord>(sinks, s);
             ASSERT_EQ(r.size(), 1u);
             EXPECT_EQ(r[0].lock, 1);
         }},
        {"Solo", true,
         [](DeviceLink&, VirtualAmplifier& a, std::uint8_t s) {
             // No setter in the catalogue: preset on the amplifier.
             AmpStoredScene scene = a.StoredSceneState(s == 0 ? 1 : s);
             AmpLiveState live = a.LiveState();
             AmpSceneSettings& target = s == 0 ? live.settings : scene.settings;
             target.channels[6].solo = 1;
             s == 0 ? a.SetLiveState(live) : a.SetStoredScene(s, scene);
             return true;
         },
         [](DeviceLink& l, std::uint8_t s) { return l.Get_Ch_Solo(s, 0, 6, 7); },
         [](const Sinks& sinks, std::uint8_t s) {
             const auto r = SceneRecords<DspChannelValueRecord>(sinks, s);
             ASSERT_EQ(r.size(), 2u);
             EXPECT_EQ(r[0].value, 1);
             EXPECT_EQ(r[1].value, 0);
         }},
        LiveNumber(
            "Source",
            [](DeviceLink& l, VirtualAmplifier&) { return l.Source_Switch_Ctrl(0x56, true); },
            &DeviceLink::Get_Source, 0x56),
        LiveNumber(
            "MainVolume",
            // 6 - dB on the wire (18 after truncation), the level in the report.
            [](DeviceLink& l, VirtualAmplifier&) { return l.Main_Volume_Ctrl(18.7f, true); },
            &DeviceLink::Get_Main_Volume, -12),
        LiveNumber(
            "Mute", [](DeviceLink& l, VirtualAmplifier&) { return l.Mute_Ctrl(1, true); },
            &DeviceLink::Get_Mute, 1),
        LiveNumber(
            "AmpMute", [](DeviceLink& l, VirtualAmplifier&) { return l.Amp_Mute_Ctrl(1, true); },
            &DeviceLink::Get_Amp_Mute, 1),
        LiveNumber(
            "SubwooferVolume",
            [](DeviceLink&, VirtualAmplifier& a) {
                AmpLiveState live = a.LiveState();
                live.subVolume = static_cast<std::uint8_t>(-7);
                a.SetLiveState(live);
                return true;
            },
            &DeviceLink::Get_Subwoofer_Volume, -7),
        {"SpeakerConfig", false,
         [](DeviceLink&, VirtualAmplifier& a, std::uint8_t) {
             AmpLiveState live = a.LiveState();
             live.speakerConfig = 0x2C;
             a.SetLiveState(live);
             return true;
         },
         [](DeviceLink& l, std::uint8_t) { return l.Get_Speaker_Config(); },
         [](const Sinks& sinks, std::uint8_t) {
             const auto r = sinks.main.RecordsOf<DspSpeakerConfigRecord>();
             ASSERT_EQ(r.size(), 1u);
             EXPECT_EQ(r[0].config, 0x2C);
         }},
        {"MemoryWord", false,
         [](DeviceLink& l, VirtualAmplifier&, std::uint8_t) {
             return l.Set_MemData(0x00401234, 0xCAFEF00D, true);
         },
         [](DeviceLink& l, std::uint8_t) {
             return l.Get_MemData(0x00401234) && l.Get_MemData(0x00400000);
         },
         [](const Sinks& sinks, std::uint8_t) {
             const auto r = sinks.mem.RecordsOf<DspMemRecord>();
             ASSERT_EQ(r.size(), 2u);
             EXPECT_EQ(r[0].address, 0x00401234u);
             EXPECT_EQ(r[0].data, 0xCAFEF00Du);
             EXPECT_EQ(r[1].data, 0u);  // never written
         }},
    };
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const RoundTrip& trip : Trips()) {
        cases.push_back({trip, 0});
        if (trip.sceneAddressed) cases.push_back({trip, 7});
    }
    return cases;
}

class SetQueryRoundTrip : public test::LinkedAmplifier, public ::testing::TestWithParam<Case> {};
class LinkedAmplifierEq : public test::LinkedAmplifier, public ::testing::Test {};

TEST_P(SetQueryRoundTrip, ReadsBackWhatWasSet) {
    const RoundTrip& trip = GetParam().trip;
    const std::uint8_t scene = GetParam().scene;
    ASSERT_TRUE(trip.set(link, amp, scene));
    if (scene != 0) {
        ASSERT_TRUE(link.SaveScene(scene, 1));
        ASSERT_TRUE(link.ReadScene(scene, 255));
    }
    ASSERT_TRUE(trip.query(link, scene));
    trip.check({main, mem}, scene);

    if (scene != 0) {
        EXPECT_EQ(amp.LiveState(), FactoryLiveState());  // the live settings stay as they were
    } else {
        for (int k = 1; k <= 10; ++k) EXPECT_EQ(amp.StoredSceneState(k), ErasedScene()) << k;
    }
}

// Every EQ gain step the band sliders offer (-18.0 ... +12.0 dB, as slider / 10)
// reads back as the step that was written.
TEST_F(LinkedAmplifierEq, EveryGainStepReadsBack) {
    for (int step = -180; step <= 120; ++step) {
        const float gain = step / 10.0f;
        const auto band = static_cast<std::uint8_t>((step + 180) % 31);
        ASSERT_TRUE(link.EQ_Ctrl(0, 0, 2, band, 1000, 2.0f, gain, true)) << step;
        ASSERT_TRUE(link.Get_EQ(0, 0, 2, band, band)) << step;
        const auto records = main.RecordsOf<DspEqBandRecord>();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(std::lround(records.back().gain * 10.0f), step) << gain;
    }
}

// Every Q the model keeps (0.5 ... 9.0 in tenths) goes out as whole part and
// tenths and reads back bit for bit as the value the model holds, live and in a
// stored scene.
TEST_F(LinkedAmplifierEq, EveryQStepReadsBackExactly) {
    for (std::uint8_t scene : {0, 3}) {
        for (int tenths = 5; tenths <= 90; ++tenths) {
            const float q = QuantiseEqFactor(tenths / 10.0);
            const auto band = static_cast<std::uint8_t>(tenths % 31);
            ASSERT_TRUE(link.EQ_Ctrl(scene, 0, 5, band, 800, q, 1.5f, true)) << tenths;
            if (scene != 0) {
                ASSERT_TRUE(link.SaveScene(scene, 1));
                ASSERT_TRUE(link.ReadScene(scene, 255));
            }
            ASSERT_TRUE(link.Get_EQ(scene, 0, 5, band, band)) << tenths;
            const auto records = main.RecordsOf<DspEqBandRecord>();
            ASSERT_FALSE(records.empty());
            EXPECT_EQ(records.back().q, q) << tenths << " scene " << int{scene};
            const AmpEqBand held =
                scene == 0 ? amp.LiveState().settings.channels[5].bands[band]
                           : amp.StoredSceneState(scene).settings.channels[5].bands[band];
            EXPECT_EQ(held.qInteger * 100 + held.qFraction, tenths * 10) << tenths;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, SetQueryRoundTrip, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.Name(); });

}  // namespace
}  // namespace kavelo

#include <random>

#include "sim/VirtualAmplifierState.h"

namespace kavelo {
namespace {

// Random host commands of the DSP and scene classes: the amplifier never
// crashes, answers every DSP command at once (nothing is left for the host to
// time out on), and whatever state results still saves and loads unchanged.
TEST(VirtualAmplifierRandomCommands, AreAnsweredAndLeaveASavableState) {
    test::LinkedAmplifier rig;
    std::mt19937 random(4242);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 3000; ++i) {
        const std::uint8_t cmd = byte(random) % 2 ? CMD_DSP : CMD_FLASH;
        const auto subcmd = static_cast<std::uint8_t>(byte(random) % 0x48);
        if (cmd == CMD_FLASH && subcmd >= FLASH_UPG_START && subcmd <= FLASH_UPG_FINISH) continue;
        const std::uint8_t optype = byte(random) % 2 ? OP_SET : OP_GET;
        std::vector<std::uint8_t> payload(byte(random) % (kMaxHostPayload + 1));
        for (std::uint8_t& b : payload) b = static_cast<std::uint8_t>(byte(random) % 12);
        ASSERT_TRUE(rig.link.SendCtrlCommand(cmd, subcmd, optype, payload.data(),
                                             static_cast<std::uint8_t>(payload.size())));
        const bool answered = rig.link.ReadHIDData(rig.link.ReceiveBuffer(), 0);
        if (cmd == CMD_DSP) {
            EXPECT_TRUE(answered) << "subcmd " << int(subcmd);
        }
        while (rig.link.ReadHIDData(rig.link.ReceiveBuffer(), 0)) {
        }
    }
    const AmplifierSnapshot state = rig.amp.Snapshot();
    AmplifierSnapshot loaded = FactorySnapshot();
    ASSERT_EQ(ParseAmplifierState(AmplifierStateText(state), loaded), "");
    EXPECT_EQ(loaded, state);
}

}  // namespace
}  // namespace kavelo

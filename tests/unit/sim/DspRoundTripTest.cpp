#include <gtest/gtest.h>

#include <cmath>
#include <variant>

#include "LinkedAmplifier.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

class DspRoundTripTest : public test::LinkedAmplifier, public ::testing::Test {
protected:
    std::int64_t LastNumber() {
        const auto messages = main.Messages();
        return messages.empty() ? -999 : std::get<std::int64_t>(messages.back().lParam);
    }
};

TEST_F(DspRoundTripTest, QueuedSettersReachTheAmplifierInOrder) {
    link.EnableCmdQueue();
    for (int v = 1; v <= 5; ++v) ASSERT_TRUE(link.Main_Volume_Ctrl(static_cast<float>(v), false));
    ASSERT_TRUE(amp.WaitForWrites(5, std::chrono::seconds(10)));
    link.DisableCmdQueue();
    // The worker may still be reading the last acknowledgement; the query
    // waits for it through the exchange lock.
    ASSERT_TRUE(link.Get_Main_Volume());
    EXPECT_EQ(LastNumber(), 1);  // written as 6 - dB, reported as dB
}

}  // namespace
}  // namespace kavelo

namespace kavelo {
namespace {

using SceneRoundTripTest = DspRoundTripTest;

// Trims as the host writes them: 0 - gain; the amplifier reports the gain.
ChannelArray<float> Trims(float dB) {
    ChannelArray<float> trims{};
    for (int c = 0; c < 8; ++c) trims[c] = dB;
    return trims;
}

TEST_F(SceneRoundTripTest, SaveNameLoadAndDelete) {
    ASSERT_TRUE(link.Trim_Ctrl(0, 0, 0, 7, Trims(3.0f), true));
    ASSERT_TRUE(link.SaveScene(2, 0));  // the live settings become scene 2
    const std::vector<std::uint8_t> name(16, 'A');
    ASSERT_TRUE(link.SetSceneName(2, name));
    ASSERT_TRUE(link.Get_Scene_Valid());
    ASSERT_TRUE(link.Get_Scene_Name(2));  // names count from 1
    ASSERT_TRUE(link.Get_Scene_Name(1));  // never written: erased

    // Queries of scene 2 answer from the stored scene, scene 0 from live.
    ASSERT_TRUE(link.Trim_Ctrl(0, 0, 0, 7, Trims(9.0f), true));
    ASSERT_TRUE(link.ReadScene(2, 255));
    ASSERT_TRUE(link.Get_Trim(2, 0, 0, 0));
    ASSERT_TRUE(link.Get_Trim(0, 0, 0, 0));
    // Loading scene 2 puts it live.
    ASSERT_TRUE(link.ReadScene(2, 0));
    ASSERT_TRUE(link.Get_Trim(0, 0, 0, 0));
    ASSERT_TRUE(link.Get_Scene_ID());

    ASSERT_TRUE(link.DeleteScene(2));
    ASSERT_TRUE(link.Get_Scene_Valid());
    ASSERT_TRUE(link.Get_Scene_Name(2));

    const auto trims = main.RecordsOf<DspTrimRecord>();
    ASSERT_EQ(trims.size(), 3u);
    EXPECT_EQ(trims[0].scene, 2);
    EXPECT_FLOAT_EQ(trims[0].trimDb, -3.0f);
    EXPECT_EQ(trims[1].scene, 0);
    EXPECT_FLOAT_EQ(trims[1].trimDb, -9.0f);
    EXPECT_FLOAT_EQ(trims[2].trimDb, -3.0f);

    const auto valid = main.RecordsOf<SceneValidRecord>();
    ASSERT_EQ(valid.size(), 2u);
    EXPECT_EQ(valid[0].valid, 1 << 1);  // bit k - 1 stands for scene k
    EXPECT_EQ(valid[1].valid, 0);
    const auto names = main.RecordsOf<SceneNameRecord>();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0].index, 1);
    for (std::uint8_t b : names[0].name) EXPECT_EQ(b, 'A');  // odd letters are a real name
    for (std::uint8_t b : names[1].name) EXPECT_EQ(b, 0);
    for (std::uint8_t b : names[2].name) EXPECT_EQ(b, 0);  // deleted: erased again

    const auto messages = scenes.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].id, WM_READ_SCENE_VALUE);
    EXPECT_EQ(messages[0].wParam, 2u);
    EXPECT_EQ(messages[1].id, WM_SCENE_ID);
    EXPECT_EQ(std::get<std::int64_t>(messages[1].lParam), 2);
    EXPECT_EQ(messages[2].id, WM_SCENE_DELETED);
    EXPECT_EQ(messages[2].wParam, 2u);
}

// A whole-configuration write: settings sent with scene k, then stored with
// store-now 1, without touching the live settings.
TEST_F(SceneRoundTripTest, SceneAddressedWritesAreStoredWithStoreNow) {
    const AmpLiveState liveBefore = amp.LiveState();
    ASSERT_TRUE(link.Trim_Ctrl(10, 0, 0, 7, Trims(12.0f), true));
    ASSERT_TRUE(link.EQ_Ctrl(10, 0, 3, 5, 1000, 2.5f, -3.5f, true));
    EXPECT_FALSE(amp.StoredSceneState(10).valid);
    ASSERT_TRUE(link.SaveScene(10, 1));
    const AmpStoredScene stored = amp.StoredSceneState(10);
    EXPECT_TRUE(stored.valid);
    EXPECT_EQ(stored.settings.channels[0].trim, 0xF4);
    EXPECT_EQ(stored.settings.channels[3].bands[5], WireEqBand(1000, 2.5f, -3.5f));
    EXPECT_EQ(amp.LiveState(), liveBefore);
}

TEST_F(SceneRoundTripTest, ScenesOutsideOneToTenAreRefused) {
    for (std::uint8_t scene : {0, 11, 255}) {
        link.SaveScene(scene, 0);
        link.DeleteScene(scene);
    }
    EXPECT_TRUE(scenes.Messages().empty());  // nothing acknowledged as done
    for (int k = 1; k <= 10; ++k) EXPECT_FALSE(amp.StoredSceneState(k).valid) << k;
}

}  // namespace
}  // namespace kavelo

#include "AmplifierPresets.h"

namespace kavelo {
namespace {

// The preset helper stores what the host must read back.
TEST_F(SceneRoundTripTest, RichPresetReadsBackAsItsHostState) {
    test::ApplyRichPreset(amp);
    const DspState expected = test::RichLiveState();
    ASSERT_TRUE(link.Get_Filter(0, 0, 0, 0));
    ASSERT_TRUE(link.Get_EQ(0, 0, 0, 0, 7));
    ASSERT_TRUE(link.Get_Trim(0, 0, 0, 7));
    ASSERT_TRUE(link.Get_Delay(0, 0, 0, 7));
    ASSERT_TRUE(link.Get_CH_Type(0, 0, 0, 7));
    ASSERT_TRUE(link.Get_Mix_Ch(0, 3, 0, 7));
    ASSERT_TRUE(link.Get_Main_Volume());
    ASSERT_TRUE(link.Get_Trim(5, 0, 6, 6));  // stored scene 5 differs from live

    const auto filters = main.RecordsOf<DspFilterRecord>();
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].hpFrequency, 90);
    EXPECT_EQ(filters[0].hpType, 1);
    EXPECT_EQ(filters[0].lpSlope, 5);
    const auto bands = main.RecordsOf<DspEqBandRecord>();
    ASSERT_EQ(bands.size(), 8u);
    EXPECT_EQ(bands[3].frequency, expected.channels[0].bands[3].freq);
    EXPECT_FLOAT_EQ(bands[3].q, 2.5f);
    EXPECT_FLOAT_EQ(bands[3].gain, -4.5f);
    const auto trims = main.RecordsOf<DspTrimRecord>();
    ASSERT_EQ(trims.size(), 9u);
    for (int o = 0; o < 8; ++o) EXPECT_FLOAT_EQ(trims[o].trimDb, expected.channels[o].gain) << o;
    EXPECT_EQ(trims[8].scene, 5);
    EXPECT_FLOAT_EQ(trims[8].trimDb, -9.0f);
    const auto delays = main.RecordsOf<DspDelayRecord>();
    ASSERT_EQ(delays.size(), 8u);
    for (int o = 0; o < 8; ++o) EXPECT_NEAR(delays[o].delayMs, expected.channels[o].delay, 0.001);
    const auto values = main.RecordsOf<DspChannelValueRecord>();
    ASSERT_EQ(values.size(), 8u);
    for (int o = 0; o < 8; ++o) EXPECT_EQ(values[o].value, expected.outputs[o]);
    const auto mix = main.RecordsOf<DspMixRecord>();
    ASSERT_EQ(mix.size(), 8u);
    for (int o = 0; o < 8; ++o) EXPECT_EQ(mix[o].mix, expected.inputs[3][o]);
    // Position 30 of the main volume is +0.93 dB, sent as 6 - 0.93 cut to 5:
    // the amplifier reports +1 dB.
    std::vector<std::int64_t> volumes;
    for (const DeviceMessage& m : main.Messages())
        if (m.id == WM_READ_DSP_VALUE && m.wParam == 2)
            volumes.push_back(std::get<std::int64_t>(m.lParam));
    EXPECT_EQ(volumes, std::vector<std::int64_t>{1});
}

}  // namespace
}  // namespace kavelo

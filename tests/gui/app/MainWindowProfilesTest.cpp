// Profile files from the main window's menus against the virtual amplifier:
// save, load (written into the amplifier and shown), refusals, the whole
// configuration round trip and the factory reset.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "AmplifierPresets.h"
#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "QualityRows.h"
#include "TracePort.h"
#include "app/VirtualAmplifierEvents.h"
#include "control/DspOperations.h"
#include "control/ProfileFiles.h"
#include "control/ReadBack.h"
#include "control/SpeakerRoles.h"
#include "controller/MainMessages.h"
#include "ui/WindowMessage.h"

namespace kavelo {
namespace {

std::string FileText(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Profiles : public test::MainWindowFixture {
protected:
    QTemporaryDir dir;
    QString Path(const char* name) { return dir.filePath(QLatin1String(name)); }
    void Menu(const char* item) {
        PostWindowMessage(window.get(), WM_MENU_COMMAND, 0, {}, QLatin1String(item));
        QApplication::processEvents();
        ASSERT_TRUE(test::WaitUntil([&] { return Settled(); }));
        QApplication::processEvents();  // boxes queued by the workers
    }
};

TEST_F(Profiles, SceneProfileSavedAndLoadedIntoTheAmplifier) {
    OpenWith(test::ConnectedDefaults());
    prompts.files = {Path("cabin.spf")};
    Menu("scene_item_save_file");
    EXPECT_EQ(prompts.texts.back(), "${profile_save_ok}");
    EXPECT_EQ(prompts.filters.back(), "Scene Profile(*.spf);;All Files(*.*)");
    EXPECT_EQ(FileText(Path("cabin.spf")), SceneProfileText(Controller().Live()));

    // A changed setup on disk goes into the amplifier and onto the screen.
    DspState changed = Controller().Live();
    changed.outputs[3] = 17;
    changed.channels[3].gain = -9.0f;
    changed.channels[2].delay = 10.0f;
    ASSERT_EQ(WriteSceneProfile(changed, Path("club.spf").toStdString()), ProfileResult::Ok);
    Control<QComboBox>("comb_ch_unit")->setCurrentIndex(1);
    prompts.files = {Path("club.spf")};
    Menu("scene_item_load_file");
    EXPECT_EQ(Key("ch_output_btn_3"), SpeakerRole(17).longText);
    EXPECT_EQ(Text("edit_ch_volume_3"), "-9dB");
    EXPECT_EQ(Text("edit_ch_delay_2"), "346.00 cm");
    const AmpLiveState amp_live = amp.LiveState();
    EXPECT_EQ(amp_live.settings.channels[3].type, 17);
    EXPECT_EQ(static_cast<std::int8_t>(amp_live.settings.channels[3].trim), -9);
    EXPECT_EQ(amp_live.settings.channels[2].delay[0], 10);
    EXPECT_FALSE(window->LoadingWindowOpen());
}

// A loaded or undone distance keeps its decimals, so clicking into the delay edit and
// out of it (which commits the edit) leaves the amplifier's delay as it was.
TEST_F(Profiles, DistancesKeepTheirDecimalsAfterALoadAndAnUndo) {
    struct Case {
        int unit;       // index in comb_ch_unit
        double fileMs;  // as typed into the original application, unquantised
        const char* typed;
        const char* shown;
        int wireMicros;
    };
    const Case cases[] = {{2, 2.49 * 15.0 / 204.0, "2.49", "2.49 in", 183},
                          {1, 176.46 * 15.0 / 519.0, "176.46", "176.46 cm", 5100},
                          {0, 7.25, "7.25", "7.250 ms", 7250}};
    OpenWith(test::ConnectedDefaults());
    Activate();
    const auto ampMicros = [&] {
        const auto d = amp.LiveState().settings.channels[2].delay;
        return d[0] * 1000 + (d[1] << 8 | d[2]);
    };
    // Clicks into the edit and leaves it for another one.
    const auto clickInAndOut = [&] {
        QTest::mouseClick(Control("edit_ch_delay_2"), Qt::LeftButton);
        QTest::mouseClick(Control("edit_ch_volume_5"), Qt::LeftButton);
        AllSetters();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        Control<QComboBox>("comb_ch_unit")->setCurrentIndex(c.unit);
        DspState file = Controller().Live();
        file.channels[2].delay = static_cast<float>(c.fileMs);
        const QString path = Path("distance.spf");
        ASSERT_EQ(WriteSceneProfile(file, path.toStdString()), ProfileResult::Ok);
        prompts.files = {path};
        Menu("scene_item_load_file");
        EXPECT_EQ(Text("edit_ch_delay_2"), c.shown);
        EXPECT_EQ(ampMicros(), c.wireMicros);
        clickInAndOut();
        EXPECT_EQ(Text("edit_ch_delay_2"), c.shown);
        EXPECT_EQ(ampMicros(), c.wireMicros);

        // Typed, changed, undone: the first value comes back with its decimals.
        Type("edit_ch_delay_2", c.typed);
        Type("edit_ch_delay_2", "1");
        Click("btn_undo");
        AllSetters();
        EXPECT_EQ(Text("edit_ch_delay_2"), c.shown);
        clickInAndOut();
        EXPECT_EQ(Text("edit_ch_delay_2"), c.shown);
        EXPECT_EQ(ampMicros(), c.wireMicros);
    }
}

TEST_F(Profiles, SceneProfileRoundTripRestoresTheLiveSettings) {
    OpenWith(test::ConnectedDefaults());
    prompts.files = {Path("cabin.spf")};
    Menu("scene_item_save_file");
    const AmpSceneSettings before = amp.LiveState().settings;
    AmpLiveState changed = amp.LiveState();
    changed.settings.channels[4].type = 11;
    changed.settings.channels[0].bands[7].gainInteger = 3;
    changed.settings.channels[2].phase = 1;
    changed.settings.mix[5][6] = 0x3;
    amp.SetLiveState(changed);
    prompts.files = {Path("cabin.spf")};
    Menu("scene_item_load_file");
    EXPECT_TRUE(amp.LiveState().settings == before);
}

// Q typed into the band editors survives every way back: the amplifier, a
// profile saved and loaded (the first band's Q as the original application
// wrote it, a single-precision float) and a reconnection. Each time the editor
// shows what the model keeps and the amplifier holds.
TEST_F(Profiles, QualityRoundTripsThroughTheAmplifierAProfileAndAReconnection) {
    using test::kQualityRows;
    OpenWith(test::ConnectedDefaults());
    Activate();  // leaving a band edit commits it
    Click("btn_arg_eq");  // PEQ mode: Q is editable (the question answered yes)
    ASSERT_TRUE(Selected("btn_arg_eq"));
    for (int b = 0; b < test::kQualityRowCount; ++b)
        Type(QStringLiteral("eq_q_%1").arg(b), QLatin1String(kQualityRows[b].typed));
    const int last = test::kQualityRowCount - 1;
    auto held = [&](int b) {
        return test::HeldHundredths(amp.LiveState().settings.channels[0].bands[b]);
    };
    ASSERT_TRUE(test::WaitUntil([&] { return held(last) == kQualityRows[last].hundredths; }));
    auto expectEverywhere = [&](const char* when) {
        for (int b = 0; b < test::kQualityRowCount; ++b) {
            const test::QualityRow& row = kQualityRows[b];
            EXPECT_EQ(Text(QStringLiteral("eq_q_%1").arg(b)), row.shown)
                << when << " " << row.typed;
            EXPECT_EQ(Controller().Live().channels[0].bands[b].eqFactor, test::KeptQuality(row))
                << when << " " << row.typed;
            EXPECT_EQ(held(b), row.hundredths) << when << " " << row.typed;
        }
    };
    expectEverywhere("typed");

    prompts.files = {Path("q.spf")};
    Menu("scene_item_save_file");
    std::string text = FileText(Path("q.spf"));
    const std::string first = "\"eqFactor\":2.5,";
    ASSERT_NE(text.find(first), std::string::npos);
    text.replace(text.find(first), first.size(), "\"eqFactor\":2.4500000476837158,");
    std::ofstream(Path("q.spf").toStdString(), std::ios::binary) << text;
    AmpLiveState factory = amp.LiveState();  // the amplifier is set back meanwhile
    for (AmpEqBand& band : factory.settings.channels[0].bands)
        band.qInteger = 5, band.qFraction = 80;
    amp.SetLiveState(factory);
    prompts.files = {Path("q.spf")};
    Menu("scene_item_load_file");
    expectEverywhere("profile loaded");

    Controller().DisconnectDevice();
    Controller().ConnectDevice(true);
    ASSERT_TRUE(test::WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
    expectEverywhere("reconnected");
}

TEST_F(Profiles, RefusedFilesChangeNothing) {
    OpenWith(test::ConnectedDefaults());
    const DspState before = Controller().Live();
    DspState foreign = test::ConnectedDefaults();
    foreign.outputs[0] = 1;
    const std::string text = SceneProfileText(foreign);
    struct Case {
        const char* name;
        std::string content;
        const char* message;
    };
    std::string otherModel = text;
    otherModel.replace(otherModel.find("\"model\":87"), 10, "\"model\":86");
    for (const Case& c : {Case{"m86.spf", otherModel, "${software_not_match}"},
                          Case{"junk.spf", "not json", "${profile_open_error}"}}) {
        std::ofstream(Path(c.name).toStdString(), std::ios::binary) << c.content;
        prompts.files = {Path(c.name)};
        Menu("scene_item_load_file");
        EXPECT_EQ(prompts.texts.back(), c.message) << c.name;
        EXPECT_EQ(Controller().Live().outputs, before.outputs);
        EXPECT_EQ(Controller().Live().model, 87);
    }
    Menu("scene_item_load_file");  // cancelled dialog: nothing at all
    EXPECT_TRUE(AllSetters().empty());
}

TEST_F(Profiles, WholeConfigurationRoundTrip) {
    AmpStoredScene scene = amp.StoredSceneState(4);
    scene.valid = true;
    scene.settings.channels[1].type = 9;
    scene.settings.channels[5].delay[0] = 3;
    scene.name = {'D', 'o', 'o', 'r', 's'};
    amp.SetStoredScene(4, scene);
    OpenWith(test::ConnectedDefaults());
    prompts.files = {Path("car.wpf")};
    Menu("scene_item_save_whole");
    EXPECT_EQ(prompts.texts.back(), "${profile_save_ok}");
    WholeProfile saved;
    ASSERT_EQ(ReadWholeProfile(Path("car.wpf").toStdString(), saved), ProfileResult::Ok);
    EXPECT_EQ(saved.scenes[3].outputs[1], 9);
    const AmpSceneSettings liveBefore = amp.LiveState().settings;
    std::array<AmpStoredScene, kSceneSlots> scenesBefore;
    for (int k = 1; k <= kSceneSlots; ++k) scenesBefore[k - 1] = amp.StoredSceneState(k);

    // The amplifier changes meanwhile: a scene, the live settings, a new scene.
    scene.settings.channels[1].type = 2;
    amp.SetStoredScene(4, scene);
    AmpStoredScene other = scene;
    other.name = {'X'};
    amp.SetStoredScene(9, other);
    AmpLiveState live = amp.LiveState();
    live.settings.channels[6].trim = static_cast<std::uint8_t>(-12);
    amp.SetLiveState(live);

    prompts.files = {Path("car.wpf")};
    Menu("scene_item_load_whole");
    EXPECT_FALSE(window->LoadingWindowOpen());
    EXPECT_TRUE(amp.LiveState().settings == liveBefore);
    for (int k = 1; k <= kSceneSlots; ++k) {
        const AmpStoredScene now = amp.StoredSceneState(k);
        // Every slot is stored again; the ones that held nothing hold the defaults.
        EXPECT_TRUE(now.settings == scenesBefore[k - 1].settings) << "scene " << k;

        // An erased name (all 0xFF) and an empty one both mean "no name".
        auto named = [](auto name) {
            for (auto& c : name)
                if (static_cast<unsigned char>(c) == 0xFF) c = 0;
            return name;
        };
        if (scenesBefore[k - 1].valid) {
            EXPECT_EQ(named(now.name), named(scenesBefore[k - 1].name)) << k;
        }
    }
}

TEST_F(Profiles, FactoryResetRestartsTheAmplifierAndReconnects) {
    OpenWith(test::ConnectedDefaults());
    // The restart reaches the window as the system's removal and arrival would.
    ReportVirtualAmplifierEvents(amp, monitor);
    const int restarts = amp.RestartCount();
    prompts.answers = {0};
    Menu("option_item_reset_default");  // declined
    EXPECT_EQ(amp.RestartCount(), restarts);
    Mark();
    prompts.answers = {1};
    Menu("option_item_reset_default");
    ASSERT_TRUE(test::WaitUntil([&] { return prompts.texts.contains("${device_reboot}"); }));
    EXPECT_EQ(amp.RestartCount(), restarts + 1);
    // Back on the link after the restart, read back from the start.
    ASSERT_TRUE(test::WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
    EXPECT_GE(amp.WrittenReports().size(), mark + ReadBackExchangeCount());
    EXPECT_FALSE(window->LoadingWindowOpen());
    DetachVirtualAmplifierEvents(amp);
}

// The loading window counts what the long operations have done.
TEST_F(Profiles, WholeConfigurationSaveShowsItsProgress) {
    OpenWith(test::ConnectedDefaults());
    prompts.files = {Path("car.wpf")};
    int largestTotal = 0;
    int lastDone = 0;
    bool backwards = false;
    // Seen the way the window sees it: the progress messages as they arrive.
    struct Filter : QObject {
        std::function<void(int, int)> seen;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == WindowMessageEvent::EventType()) {
                auto* m = static_cast<WindowMessageEvent*>(e);
                if (m->Id() == WM_LOADING_PROGRESS)
                    seen(static_cast<int>(m->WParam()),
                         static_cast<int>(std::get<std::int64_t>(m->LParam())));
            }
            return false;
        }
    } filter;
    filter.seen = [&](int done, int total) {
        backwards = backwards || done < lastDone;
        lastDone = done;
        largestTotal = std::max(largestTotal, total);
    };
    window->installEventFilter(&filter);
    Menu("scene_item_save_whole");
    window->removeEventFilter(&filter);
    EXPECT_EQ(prompts.texts.back(), "${profile_save_ok}");
    EXPECT_FALSE(backwards);
    EXPECT_GT(largestTotal, 10 * 50);  // ten scene reads and the read-back
    EXPECT_EQ(lastDone, largestTotal);
}

TEST_F(Profiles, SilentAmplifierEndsAWholeWriteWithAMessage) {
    cli::TracePort shortWaits(amp, nullptr, 1000);
    port = &shortWaits;
    OpenWith(test::ConnectedDefaults());
    WholeProfile whole;
    static_cast<WholeProfile&>(whole) = Controller().Model();
    ASSERT_EQ(WriteWholeProfile(whole, Path("car.wpf").toStdString()), ProfileResult::Ok);
    amp.SetSilent(true);
    prompts.files = {Path("car.wpf")};
    Menu("scene_item_load_whole");
    EXPECT_EQ(prompts.texts.back(), "${profile_write_incomplete}");
    EXPECT_FALSE(window->LoadingWindowOpen());
    // Given up after three unanswered commands, not after the whole profile.
    EXPECT_EQ(amp.WrittenReports().size(), mark + 3);
    window.reset();  // before the port it talks through
}

}  // namespace
}  // namespace kavelo

// Profile files from the main window's menus against the virtual amplifier:
// save, load (written into the amplifier and shown), refusals, the whole
// configuration round trip and the factory reset.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "control/DspOperations.h"
#include "control/ProfileFiles.h"
#include "control/SpeakerRoles.h"
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
    EXPECT_EQ(Text("edit_ch_delay_2"), "346 cm");  // whole units after a load
    const AmpLiveState amp_live = amp.LiveState();
    EXPECT_EQ(amp_live.settings.channels[3].type, 17);
    EXPECT_EQ(static_cast<std::int8_t>(amp_live.settings.channels[3].trim), -9);
    EXPECT_EQ(amp_live.settings.channels[2].delay[0], 10);
    EXPECT_FALSE(window->LoadingWindowOpen());
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
    OpenWith(test::ConnectedDefaults());
    AmpStoredScene scene = amp.StoredSceneState(4);
    scene.valid = true;
    scene.settings.channels[1].type = 9;
    amp.SetStoredScene(4, scene);
    prompts.files = {Path("car.wpf")};
    Menu("scene_item_save_whole");
    EXPECT_EQ(prompts.texts.back(), "${profile_save_ok}");
    WholeProfile saved;
    ASSERT_EQ(ReadWholeProfile(Path("car.wpf").toStdString(), saved), ProfileResult::Ok);
    EXPECT_EQ(saved.scenes[3].outputs[1], 9);

    scene.settings.channels[1].type = 2;  // the amplifier changes meanwhile
    amp.SetStoredScene(4, scene);
    prompts.files = {Path("car.wpf")};
    Menu("scene_item_load_whole");
    EXPECT_EQ(amp.StoredSceneState(4).settings.channels[1].type, 9);
    EXPECT_FALSE(window->LoadingWindowOpen());
}

TEST_F(Profiles, FactoryResetRestartsTheAmplifier) {
    OpenWith(test::ConnectedDefaults());
    const int restarts = amp.RestartCount();
    prompts.answers = {0};
    Menu("option_item_reset_default");  // declined
    EXPECT_EQ(amp.RestartCount(), restarts);
    prompts.answers = {1};
    Menu("option_item_reset_default");
    ASSERT_TRUE(test::WaitUntil([&] { return prompts.texts.back() == "${device_reboot}"; }));
    EXPECT_EQ(amp.RestartCount(), restarts + 1);
    EXPECT_FALSE(window->LoadingWindowOpen());
}

}  // namespace
}  // namespace kavelo

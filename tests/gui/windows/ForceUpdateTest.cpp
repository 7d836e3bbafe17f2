// The forced update: an amplifier with older firmware is offered the images
// this build carries (the tests' synthetic ones), the window writes both
// through the amplifier's restarts, optionally resets it, and the controller
// reads it back.
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <array>
#include <chrono>
#include <fstream>

#include "AmplifierPresets.h"
#include "windows/UpgradeWindowsFixture.h"

namespace kavelo {
namespace {

using test::Click;
using test::ControlKey;
using test::Enabled;
using test::WaitUntil;
using test::WhenWindowShown;

class ForcedUpdate : public test::UpgradeWindowsFixture {
protected:
    void SetUp() override {
        UpgradeWindowsFixture::SetUp();
        mOldTmp = qgetenv("TMP");
        mHadTmp = qEnvironmentVariableIsSet("TMP");
        SetTmp(QString::fromStdString(tmp.path().string()));
        test::ApplyRichPreset(amp);
        amp.SetVersions(1, 17);
    }
    void TearDown() override {
        if (mHadTmp)
            qputenv("TMP", mOldTmp);
        else
            qunsetenv("TMP");
        UpgradeWindowsFixture::TearDown();
    }
    static void SetTmp(const QString& folder) { qputenv("TMP", QFile::encodeName(folder)); }
    QString TmpFile(const char* name) const {
        return QDir(QString::fromStdString(tmp.path().string())).filePath(QLatin1String(name));
    }
    // Records each progress value the window's bars take.
    static void RecordProgress(CForceUpdateWnd* w, const char* bar, std::vector<int>& values) {
        QObject::connect(w->FindControl<QProgressBar>(QLatin1String(bar)),
                         &QProgressBar::valueChanged, [&values](int v) { values.push_back(v); });
    }
    // Wraps the window opener to see its modal result.
    std::function<void()> RecordResult(int& result) {
        return [this, &result] {
            auto open = Controller().Hooks().showForceUpdateWindow;
            Controller().Hooks().showForceUpdateWindow = [open, &result](const QString& mcu,
                                                                         const QString& dsp) {
                return result = open(mcu, dsp);
            };
        };
    }
    int Offers() const {
        int n = 0;
        for (const QString& text : prompts.texts) n += text.contains(QLatin1String("v1.18"));
        return n;
    }

    TempDir tmp;

private:
    QByteArray mOldTmp;
    bool mHadTmp = false;
};

TEST_F(ForcedUpdate, BothImagesThenTheFactoryResetThenAReadBack) {
    std::vector<int> mcuProgress;
    std::vector<int> dspProgress;
    bool shown = false;
    WhenWindowShown<CForceUpdateWnd>([&](CForceUpdateWnd* w) {
        shown = w != nullptr;
        if (!w) return;
        EXPECT_EQ(w->FindControl<QLineEdit>("mcu_file")->text(),
                  QDir::toNativeSeparators(TmpFile("MCU_UPG.bin")));
        EXPECT_EQ(w->FindControl<QLineEdit>("flash_file")->text(),
                  QDir::toNativeSeparators(TmpFile("FLASH_UPG.bin")));
        RecordProgress(w, "mcu_progress", mcuProgress);
        RecordProgress(w, "flash_progress", dspProgress);
        Click(w, "check_box_facotry");
        Click(w, "update_btn");
        EXPECT_FALSE(Enabled(w, "update_btn"));
        EXPECT_FALSE(Enabled(w, "closebtn"));
        ASSERT_TRUE(WaitUntil([&] { return w->Succeeded(); }, 60000));
        EXPECT_EQ(ControlKey(w, "update_tips"), "${update_finish}");
        EXPECT_EQ(w->Stage(), CForceUpdateWnd::STAGE_IDLE);
        EXPECT_TRUE(Enabled(w, "update_btn"));
        Click(w, "closebtn");
    });
    OpenWindow();
    ASSERT_TRUE(shown);
    EXPECT_EQ(Offers(), 1);
    EXPECT_TRUE(prompts.texts.last().contains(QLatin1String("v1.17")))
        << "offered with its version";
    ASSERT_FALSE(mcuProgress.empty());
    ASSERT_FALSE(dspProgress.empty());
    EXPECT_EQ(mcuProgress.back(), 100);
    EXPECT_EQ(dspProgress.back(), 100);

    const AmplifierSnapshot after = amp.Snapshot();
    EXPECT_EQ(after.identity.masterVersion, 1);
    EXPECT_EQ(after.identity.slaveVersion, 18);
    EXPECT_EQ(after.identity.flashVersion, test::kTestFlashVersion);
    EXPECT_EQ(after.live, FactoryLiveState());
    EXPECT_EQ(amp.RestartCount(), 5);  // into the loader and back, twice; the reset
    EXPECT_TRUE(QFile::exists(TmpFile("MCU_UPG.bin")));
    EXPECT_TRUE(QFile::exists(TmpFile("FLASH_UPG.bin")));

    ASSERT_TRUE(WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
    EXPECT_EQ(Controller().Live().slaveVersion, 18);
    EXPECT_EQ(Offers(), 1) << "the updated amplifier is not offered it again";
}

TEST_F(ForcedUpdate, WithoutTheFactoryResetEndsFinishedWithResultZero) {
    const AmpLiveState before = amp.LiveState();
    int result = -1;
    WhenWindowShown<CForceUpdateWnd>([&](CForceUpdateWnd* w) {
        if (!w) return;
        Click(w, "update_btn");
        ASSERT_TRUE(WaitUntil(
            [&] { return !w->Busy() && w->Stage() == CForceUpdateWnd::STAGE_IDLE; }, 60000));
        EXPECT_EQ(ControlKey(w, "update_tips"), "${update_finish}");
        EXPECT_FALSE(w->Succeeded());
        Click(w, "cancel_btn");
    });
    OpenWindow(RecordResult(result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(amp.Snapshot().identity.slaveVersion, 18);
    EXPECT_EQ(amp.Snapshot().identity.flashVersion, test::kTestFlashVersion);
    EXPECT_EQ(amp.LiveState(), before) << "no factory reset";
    EXPECT_EQ(amp.RestartCount(), 4);
    // The amplifier changed under the model: it is read back all the same.
    ASSERT_TRUE(WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
    EXPECT_EQ(Controller().Live().slaveVersion, 18);
}

// Closing the application during the MCU image waits for that image, then
// ends there: the DSP image is not started in a window about to go.
TEST_F(ForcedUpdate, ApplicationCloseWaitsForTheRunningImageOnly) {
    const std::array<std::uint8_t, 4> flashBefore = amp.Snapshot().identity.flashVersion;
    // The amplifier stops answering at the first block: the close below
    // surely lands in the middle of the MCU image.
    amp.HoldRepliesAtUpgradeBlock(1);
    bool mainClosed = false;
    WhenWindowShown<CForceUpdateWnd>([&](CForceUpdateWnd* w) {
        if (!w) return;
        QObject::connect(window.get(), &QDialog::finished, [&] { mainClosed = true; });
        Click(w, "update_btn");
        ASSERT_TRUE(WaitUntil([&] { return !amp.UpgradeBlocks().empty(); }));
        ASSERT_TRUE(w->Busy());
        window->Close(1);
        EXPECT_FALSE(mainClosed);
        amp.HoldReplies(false);
        ASSERT_TRUE(WaitUntil([&] { return mainClosed; }, 60000));
        EXPECT_TRUE(w->Closing());
    });
    // The block's acknowledgement waits for the close: the amplifier's own
    // reply time, not the shortened one.
    OpenWindow([this] { Controller().Link().UpgradeTimings().replyReadMs = 10000; });
    EXPECT_TRUE(mainClosed);
    EXPECT_TRUE(prompts.texts.contains("${update_running_close}"));
    EXPECT_EQ(amp.Snapshot().identity.slaveVersion, 18);
    EXPECT_EQ(amp.Snapshot().identity.flashVersion, flashBefore);
    EXPECT_EQ(amp.RestartCount(), 2);
}

TEST_F(ForcedUpdate, OfferedOnlyBelowTheExpectedFirmwareAndWithoutTheMarker) {
    struct Row {
        int major, minor;
        bool marker;
        bool offered;
    };
    const Row rows[] = {{1, 17, false, true},
                        {0, 30, false, true},
                        {1, 17, true, false},
                        {1, 18, false, false},
                        {2, 0, false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.major << "." << r.minor << " marker " << r.marker);
        ScopedCurrentDir cwd;
        if (r.marker) std::ofstream(cwd.path() / "noForceUpdate.ini") << "";
        amp.SetVersions(r.major, r.minor);
        amp.ClearWrittenReports();
        prompts.answers = {0};  // declined: nothing is written
        OpenWindow();
        ASSERT_TRUE(Controller().IsConnected());
        EXPECT_EQ(Offers(), r.offered ? 1 : 0);
        if (r.offered) {
            EXPECT_TRUE(
                prompts.texts.last().contains(QStringLiteral("v%1.%2").arg(r.major).arg(r.minor)));
        }
        if (r.marker) {
            Controller().StartForceUpdate();  // even when asked directly
            EXPECT_EQ(Offers(), 0);
        }
        EXPECT_FALSE(test::UpgradeCommandWritten(amp));
        CloseWindow();
    }
}

TEST_F(ForcedUpdate, PreparationFailuresSayWhichAndSendNothing) {
    struct Row {
        const char* name;
        const char* mcu;
        const char* flash;
        bool missingFolder;
        int code;
    };
    const Row rows[] = {
        // A build without images.
        {"NoMcuImage", ":/firmware/absent", nullptr, false, 1},
        {"NoFlashImage", nullptr, ":/firmware/absent", false, 7},
        {"TmpNamesAMissingFolder", nullptr, nullptr, true, 5},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EqualizerManager::CarriedImages images;
        if (r.mcu) images.mcu = QLatin1String(r.mcu);
        if (r.flash) images.flash = QLatin1String(r.flash);
        SetTmp(r.missingFolder ? TmpFile("missing") : TmpFile(""));
        amp.ClearWrittenReports();
        OpenWindow([&] { Controller().SetCarriedImages(images); });
        EXPECT_TRUE(
            prompts.texts.contains(QStringLiteral("File prepare error. error code %1").arg(r.code)))
            << prompts.texts.join(" | ").toStdString();
        EXPECT_FALSE(test::UpgradeCommandWritten(amp));
        EXPECT_FALSE(QFile::exists(TmpFile("MCU_UPG.bin")));
        EXPECT_FALSE(QFile::exists(TmpFile("FLASH_UPG.bin")));
        EXPECT_TRUE(Controller().IsConnected());
        CloseWindow();
    }
}

}  // namespace
}  // namespace kavelo

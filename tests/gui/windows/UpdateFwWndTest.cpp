// The firmware update window from the option menu, against the virtual
// amplifier: what the user's clicks send, what the window shows, and that no
// way of closing cuts a transfer short.
#include <QCloseEvent>
#include <QDir>
#include <QProgressBar>
#include <algorithm>
#include <chrono>

#include "windows/UpgradeWindowsFixture.h"

namespace kavelo {
namespace {

using test::Click;
using test::ControlKey;
using test::Enabled;
using test::TestMcuContainer;
using test::WaitUntil;
using UpdateWindow = test::UpgradeWindowsFixture;

const char* const kControls[] = {"closebtn", "cancel_btn", "file_btn", "update_btn",
                                 "file_path_edt"};

TEST_F(UpdateWindow, UpdateWithoutAmplifierChangesNothing) {
    amp.Unplug();
    OpenWindow();
    ASSERT_FALSE(Controller().Link().IsDeviceOpen());
    WithUpdateWindow([&](CUpdateFwWnd* w) {
        EXPECT_TRUE(Controller().mManualUpdateFlag);
        const QString before = ControlKey(w, "update_tips");
        Click(w, "update_btn");
        EXPECT_EQ(ControlKey(w, "update_tips"), before);
        EXPECT_FALSE(w->Busy());
        for (const char* name : kControls) EXPECT_TRUE(Enabled(w, name)) << name;
    });
    EXPECT_FALSE(Controller().mManualUpdateFlag);
    EXPECT_EQ(amp.WriteCount(), 0u);
}

// Clicking the empty path field opens the file dialog; cancelling it must not
// bring the dialog back when the focus returns to the field.
TEST_F(UpdateWindow, EmptyPathFieldOpensTheDialogOnClick) {
    OpenWindow();
    const QString file = WriteFile("TRQ5.40AMP_FLASH_UPG.bin", test::TestFlashContainer());
    WithUpdateWindow([&](CUpdateFwWnd* w) {
        int dialogs = 0;
        QTimer cancel;  // cancels every file dialog that shows, counting them
        QObject::connect(&cancel, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible()) return;
            ++dialogs;
            d->reject();
        });
        cancel.start(5);
        Click(w, "file_path_edt");
        ASSERT_TRUE(WaitUntil([&] { return dialogs == 1; }));
        // The window manager hands the window its focus back.
        QApplication::setActiveWindow(w);
        // What would bring it back comes as posted events: let them all run.
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        cancel.stop();
        EXPECT_EQ(dialogs, 1) << "the dialog came back by itself";
        EXPECT_TRUE(w->FilePath().isEmpty());

        test::WhenWindowShown<QFileDialog>([&](QFileDialog* d) {
            dialogs += d != nullptr;
            if (!d) return;
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
            QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open),
                              Qt::LeftButton);
        });
        Click(w, "file_path_edt");
        ASSERT_TRUE(WaitUntil([&] { return !w->FilePath().isEmpty(); }));
        EXPECT_EQ(dialogs, 2);
        EXPECT_EQ(w->FilePath(), file);
    });
}

TEST_F(UpdateWindow, UnrecognisedFileFailsAtOnceAndSendsNothing) {
    OpenWindow();
    ASSERT_TRUE(Controller().IsConnected());
    const QString notes = WriteFile("notes.txt", TestMcuContainer());
    amp.ClearWrittenReports();
    WithUpdateWindow([&](CUpdateFwWnd* w) {
        ChooseFile(w, notes);
        EXPECT_EQ(w->FindControl<QLineEdit>("file_path_edt")->text(),
                  QDir::toNativeSeparators(notes));
        Click(w, "update_btn");
        ASSERT_TRUE(WaitUntil([&] { return !w->Busy(); }));
        EXPECT_EQ(ControlKey(w, "update_tips"), "${load_fw_fail}");
        for (const char* name : kControls) EXPECT_TRUE(Enabled(w, name)) << name;
    });
    EXPECT_TRUE(amp.WrittenReports().empty());
    // Nothing was sent, so edits reach the amplifier again.
    EXPECT_TRUE(Controller().IsConnected());
}

TEST_F(UpdateWindow, McuUpgradeShowsProgressAndTheAmplifierRunsTheNewFirmware) {
    OpenWindow();
    ASSERT_TRUE(Controller().IsConnected());
    const QString file = WriteFile("TRQ5.40AMP_MCU_UPG.bin", TestMcuContainer(1, 19, 200));
    std::vector<int> progress;
    QString tipsWhenClosed;
    WithUpdateWindow([&](CUpdateFwWnd* w) {
        ChooseFile(w, file);
        QObject::connect(w->FindControl<QProgressBar>("progress"), &QProgressBar::valueChanged,
                         [&](int value) { progress.push_back(value); });
        QObject::connect(w, &QDialog::finished,
                         [&, w] { tipsWhenClosed = ControlKey(w, "update_tips"); });
        Click(w, "update_btn");
        EXPECT_EQ(ControlKey(w, "update_tips"), "${loading_fw}");
        for (const char* name : kControls) EXPECT_FALSE(Enabled(w, name)) << name;
        // The amplifier restarts into the new firmware; reconnecting closes the window.
        ASSERT_TRUE(WaitUntil([&] { return w->Closing(); }));
    });
    EXPECT_EQ(tipsWhenClosed, "${update_ok}");
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(amp.UpgradeBlocks().size(), 7u);  // 8 bytes, then six blocks of 32
    ASSERT_TRUE(WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
    EXPECT_EQ(Controller().Live().mainVersion, 1);
    EXPECT_EQ(Controller().Live().slaveVersion, 19);
}

TEST_F(UpdateWindow, TransferCutOffShowsTheFailureAndReenablesTheControls) {
    OpenWindow();
    amp.UnplugAtUpgradeBlock(3);
    const QString file = WriteFile("TRQ5.40AMP_MCU_UPG.bin", TestMcuContainer(1, 19, 200));
    WithUpdateWindow([&](CUpdateFwWnd* w) {
        ChooseFile(w, file);
        Click(w, "update_btn");
        ASSERT_TRUE(WaitUntil([&] { return !w->Busy(); }));
        EXPECT_EQ(ControlKey(w, "update_tips"), "${update_fail}");
        for (const char* name : kControls) EXPECT_TRUE(Enabled(w, name)) << name;
        EXPECT_FALSE(w->Closing()) << "no amplifier came back to close it";
        Click(w, "closebtn");
        EXPECT_TRUE(w->Closing());
    });
    EXPECT_EQ(Key("btnConnect"), "${btn_disconnected}");
    EXPECT_FALSE(prompts.texts.contains("${device_plugout}"));
}

// Esc, the window manager's close (Alt+F4), the disabled buttons, a close from
// code and the application's own close all leave the transfer running; the
// application asks, waits for the end, then closes.
TEST_F(UpdateWindow, NoCloseCutsATransferShort) {
    OpenWindow();
    amp.SetReplyDelay(std::chrono::milliseconds(10));
    const QString file = WriteFile("TRQ5.40AMP_MCU_UPG.bin", TestMcuContainer(1, 19, 32 * 40));
    bool mainClosed = false;
    QObject::connect(window.get(), &QDialog::finished, [&] { mainClosed = true; });
    WithUpdateWindow([&](CUpdateFwWnd* w) {
        ChooseFile(w, file);
        Click(w, "update_btn");
        ASSERT_TRUE(WaitUntil([&] { return !amp.UpgradeBlocks().empty(); }));
        // Nothing below runs the event loop: the transfer cannot have ended for the window.
        ASSERT_TRUE(w->Busy());
        QTest::keyClick(w, Qt::Key_Escape);
        QCloseEvent closing;
        QApplication::sendEvent(w, &closing);
        EXPECT_FALSE(closing.isAccepted());
        Click(w, "closebtn");
        Click(w, "cancel_btn");
        w->Close(0);
        window->Close(1);
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(w->Closing());
        EXPECT_FALSE(mainClosed);
        EXPECT_TRUE(prompts.texts.contains("${update_running_close}"));
        ASSERT_TRUE(WaitUntil([&] { return mainClosed; }));
        EXPECT_TRUE(w->Closing());
    });
    EXPECT_EQ(amp.UpgradeBlocks().size(), 40u);
    EXPECT_EQ(amp.Snapshot().identity.slaveVersion, 19);
}

// A quit ends every modal loop; the update window stays up until its transfer
// has ended, and only then does the quit go on.
TEST_F(UpdateWindow, QuitWaitsForTheTransfer) {
    OpenWindow();
    amp.SetReplyDelay(std::chrono::milliseconds(10));
    const QString file = WriteFile("TRQ5.40AMP_MCU_UPG.bin", TestMcuContainer(1, 19, 32 * 40));
    int progress = 0;
    QString tipsWhenClosed;
    QTimer::singleShot(0, [&] {
        WithUpdateWindow([&](CUpdateFwWnd* w) {
            ChooseFile(w, file);
            QObject::connect(w->FindControl<QProgressBar>("progress"), &QProgressBar::valueChanged,
                             [&](int value) { progress = value; });
            QObject::connect(w, &QDialog::finished,
                             [&, w] { tipsWhenClosed = ControlKey(w, "update_tips"); });
            Click(w, "update_btn");
            ASSERT_TRUE(WaitUntil([&] { return !amp.UpgradeBlocks().empty(); }));
            QCoreApplication::exit(0);
        });
    });
    EXPECT_EQ(QApplication::exec(), 0);
    // The window kept showing the transfer after the quit, to its end.
    EXPECT_EQ(progress, 100);
    EXPECT_EQ(tipsWhenClosed, "${update_ok}");
    EXPECT_EQ(amp.UpgradeBlocks().size(), 40u);
    EXPECT_EQ(amp.Snapshot().identity.slaveVersion, 19);
    EXPECT_EQ(OpenUpgradeWindow(), nullptr);
}

}  // namespace
}  // namespace kavelo

#pragma once

// The update windows on the main window connected to a virtual amplifier whose
// restarts reach the main window as plug events.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "TempDir.h"
#include "TestFirmware.h"
#include "UpgradeFiles.h"
#include "app/MainWindowFixture.h"
#include "app/VirtualAmplifierEvents.h"
#include "firmware/UpgradeEngine.h"
#include "ui/WindowMessage.h"
#include "windows/ForceUpdateWnd.h"
#include "windows/UpdateFwWnd.h"
#include "windows/UpgradeWindows.h"

namespace kavelo::test {

// Runs `action` on the first visible modal window of class T, from a timer in
// whatever loop runs then; after `timeoutMs` without one it gets nullptr.
template <class T>
void WhenWindowShown(std::function<void(T*)> action, int timeoutMs = 30000) {
    auto* poll = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, action, timeoutMs] {
        T* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (window && !window->isVisible()) window = nullptr;
        if (!window && clock->elapsed() < timeoutMs) return;
        poll->stop();
        poll->deleteLater();
        action(window);
    });
    poll->start(5);
}

inline QString ControlKey(QWidget* window, const char* control) {
    return WindowImplBase::ControlTextKey(window->findChild<QWidget*>(QLatin1String(control)));
}

inline bool Enabled(QWidget* window, const char* control) {
    QWidget* w = window->findChild<QWidget*>(QLatin1String(control));
    return w && w->isEnabled();
}

// A left click on a named control, as the user makes it.
inline void Click(QWidget* window, const char* control) {
    QWidget* w = window->findChild<QWidget*>(QLatin1String(control));
    ASSERT_NE(w, nullptr) << control;
    QTest::mouseClick(w, Qt::LeftButton);
}

// Whether the amplifier was asked to enter upgrade mode or to start a DSP upgrade.
inline bool UpgradeCommandWritten(const VirtualAmplifier& amp) {
    for (const OutputReport& r : amp.WrittenReports()) {
        // 00 AA 55 length class subcmd ...
        if ((r[4] == 3 && (r[5] == 0x01 || r[5] == 0xA0)) || (r[4] == 2 && r[5] == 0x03))
            return true;
    }
    return false;
}

class UpgradeWindowsFixture : public MainWindowFixture {
protected:
    // A click into a given window, beside the main window's own.
    using MainWindowFixture::Click;
    static void Click(QWidget* window, const char* control) { test::Click(window, control); }
    TempDir files;

    void TearDown() override {
        DetachVirtualAmplifierEvents(amp);
        MainWindowFixture::TearDown();
    }
    // Opens the main window (which connects); `beforeCreate` runs once the
    // controller exists. The link's waits are short: the virtual amplifier
    // restarts and answers at once.
    void OpenWindow(const std::function<void()>& beforeCreate = {}) {
        window = MakeWindow();
        ReportVirtualAmplifierEvents(amp, monitor);
        UpgradeTiming& timing = Controller().Link().UpgradeTimings();
        timing.restartWaitMs = 0;
        timing.reopenIntervalMs = 10;
        timing.replyReadMs = 300;
        if (beforeCreate) beforeCreate();
        ASSERT_TRUE(window->Create(QStringLiteral("Kavelo DSP Audio")));
        // A forced update may run inside: generous.
        ASSERT_TRUE(WaitUntil([&] { return Settled(); }, 90000));
    }
    void CloseWindow() {
        DetachVirtualAmplifierEvents(amp);
        window.reset();
        prompts.texts.clear();
    }
    QString WriteFile(const char* name, const std::vector<std::uint8_t>& bytes) {
        const auto path = files.path() / name;
        WriteBytes(path, bytes);
        return QString::fromStdString(path.string());
    }
    // Opens the update window from the option menu and runs `action` in it.
    // Afterwards the window is closed (once its work has ended) whatever the
    // action did, so a failing test never leaves a modal loop behind.
    void WithUpdateWindow(const std::function<void(CUpdateFwWnd*)>& action) {
        bool ran = false;
        WhenWindowShown<CUpdateFwWnd>([&](CUpdateFwWnd* w) {
            ran = true;
            if (!w) return;
            action(w);
            if (!w->Closing()) w->CloseWhenIdle(0);
        });
        PostWindowMessage(window.get(), WM_MENU_COMMAND, 0, {},
                          QStringLiteral("option_item_firmware_upgrade"));
        ASSERT_TRUE(WaitUntil([&] { return ran && !OpenUpgradeWindow(); }, 60000));
    }
    // Picks `path` in the window's file dialog as a user does: Browse, the
    // name in the file name field, Open.
    static void ChooseFile(CUpdateFwWnd* w, const QString& path) {
        bool typed = false;
        WhenWindowShown<QFileDialog>(
            [&](QFileDialog* dialog) {
                typed = true;
                if (!dialog) return;
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                if (!name || !buttons) {
                    ADD_FAILURE() << "not Qt's own file dialog";
                    dialog->reject();
                    return;
                }
                // Typed in one go: the dialog's completer would act on every key.
                name->setText(path);
                QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
                if (dialog->isVisible()) {
                    ADD_FAILURE() << "the dialog did not take " << path.toStdString();
                    dialog->reject();
                }
            },
            5000);
        Click(w, "file_btn");
        EXPECT_TRUE(typed);
    }
};

}  // namespace kavelo::test

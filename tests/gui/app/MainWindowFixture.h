#pragma once

// The main window on the offscreen platform, connected to a virtual amplifier,
// with prompts answered by script.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>

#include "app/MainWnd.h"
#include "sim/AmplifierState.h"
#include "sim/VirtualAmplifier.h"
#include "ui/LanguageService.h"
#include "ui/Prompts.h"

namespace kavelo::test {

// Answers every prompt at once from a script (1 when the script is empty) and
// remembers its text.
class ScriptedPrompts : public PromptOpener {
public:
    QStringList texts;
    std::deque<int> answers;
    int Message(QWidget*, const QString&, const QString& text, const QString[3], int) override {
        texts << text;
        return Next();
    }
    int CheckBoxMessage(QWidget*, const QString&, const QString& text, const QString&,
                        const QString&) override {
        texts << text;
        return Next();
    }
    int About(QWidget*, const AboutDeviceInfo&) override {
        texts << QStringLiteral("about");
        return 1;
    }

private:
    int Next() {
        if (answers.empty()) return 1;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The main window on a test layout holding every bound control, or on the
// application's own layout.
class TestMainWnd : public CMainWnd {
public:
    using CMainWnd::CMainWnd;
    bool skinLayout = false;

protected:
    QString GetLayoutPath() const override {
        if (skinLayout) return CMainWnd::GetLayoutPath();
        return QStringLiteral(KAVELO_GUI_LAYOUTS "/main_controls.ui");
    }
};

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class MainWindowFixture : public ::testing::Test {
protected:
    VirtualAmplifier amp;
    ScriptedPrompts prompts;
    PromptOpener* previous = nullptr;
    QTemporaryDir lockDir;
    DeviceMonitor* monitor = nullptr;
    std::unique_ptr<TestMainWnd> window;
    // Reports the amplifier was written before this index are history to a test.
    std::size_t mark = 0;

    void SetUp() override { previous = SetPromptOpener(&prompts); }
    void TearDown() override {
        window.reset();
        SetPromptOpener(previous);
        LanguageService::Instance().Clear();
    }
    std::unique_ptr<TestMainWnd> MakeWindow() {
        CMainWnd::Options options = CMainWnd::DetachedOptions(lockDir.path());
        monitor = options.monitor.get();
        return std::make_unique<TestMainWnd>(amp, std::move(options));
    }
    // Opens the window (which connects on its own) and waits for the outcome.
    void Open(bool skinLayout = false) {
        window = MakeWindow();
        window->skinLayout = skinLayout;
        ASSERT_TRUE(window->Create(QStringLiteral("Kavelo DSP Audio")));
        ASSERT_TRUE(WaitUntil([&] { return Settled(); }));
    }
    // No worker runs and everything the workers posted has been handled.
    bool Settled() {
        if (!Controller().WaitForWorkers(0)) return false;
        QCoreApplication::sendPostedEvents();
        return !window->LoadingWindowOpen();
    }
    // Connects on the application's layout with the amplifier holding `state`, and
    // marks what the host wrote so far.
    void OpenWith(const DspState& state) {
        amp.SetLiveState(LiveStateFromState(state));
        Open(true);
        ASSERT_TRUE(Controller().IsConnected());
        Mark();
    }
    void Mark() { mark = amp.WrittenReports().size(); }
    EqualizerManager& Controller() { return window->Controller(); }
    template <class T = QWidget>
    T* Control(const QString& name) {
        return window->FindControl<T>(name);
    }
    QString Key(const QString& name) { return WindowImplBase::ControlTextKey(Control(name)); }
    QString Text(const QString& name) { return Control<QLineEdit>(name)->text(); }
    bool Selected(const QString& name) {
        return WindowImplBase::IsSelected(Control<QAbstractButton>(name));
    }
};

}  // namespace kavelo::test

#pragma once

// The main window on the offscreen platform, connected to a virtual amplifier,
// with prompts answered by script.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWnd.h"
#include "device/PacketCodec.h"
#include "graph/UIEqualizer.h"
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
    // The name entry answers from `names` (empty: cancelled); `prefilled` records
    // the name it was opened with.
    QStringList names;
    QStringList prefilled;
    int NameEntry(QWidget*, const QString&, const QString& text, QString& buffer) override {
        texts << text;
        prefilled << buffer;
        if (names.isEmpty()) return 0;
        buffer = names.takeFirst();
        return 1;
    }
    // The file dialogs answer from `files` (empty: cancelled); `filters` records them.
    QStringList files;
    QStringList filters;
    QString FileName(QWidget*, bool, const QString& filter, const QString&) override {
        filters << filter;
        return files.isEmpty() ? QString() : files.takeFirst();
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

// Presses the slider's handle, moves it in `steps` events to `to` and releases.
inline void DragHandle(QAbstractSlider* slider, int to, int steps) {
    const bool horizontal = slider->orientation() == Qt::Horizontal;
    // As QSlider draws it: a vertical slider has its minimum at the bottom.
    const bool upsideDown = horizontal ? slider->invertedAppearance() != slider->isRightToLeft()
                                       : !slider->invertedAppearance();
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.upsideDown = upsideDown;
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    opt.subControls = QStyle::SC_SliderHandle;
    const QRect handle =
        slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
    const QPoint start = handle.center();
    const int span =
        horizontal ? slider->width() - handle.width() : slider->height() - handle.height();
    const int travel = QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), to,
                                                       span, upsideDown) -
                       QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(),
                                                       slider->value(), span, upsideDown);
    auto send = [slider](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, slider->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(slider, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    for (int i = 1; i <= steps; ++i) {
        const int d = travel * i / steps;
        send(QEvent::MouseMove, start + (horizontal ? QPoint(d, 0) : QPoint(0, d)), Qt::LeftButton);
    }
    send(QEvent::MouseButtonRelease, start + (horizontal ? QPoint(travel, 0) : QPoint(0, travel)),
         Qt::NoButton);
}

class MainWindowFixture : public ::testing::Test {
protected:
    VirtualAmplifier amp;
    ScriptedPrompts prompts;
    PromptOpener* previous = nullptr;
    QTemporaryDir lockDir;
    DeviceMonitor* monitor = nullptr;
    // The port the window talks through: the amplifier itself unless a test
    // puts a wrapper in between before opening.
    HidPort* port = nullptr;
    std::unique_ptr<TestMainWnd> window;
    // Reports the amplifier was written before this index are history to a test.
    std::size_t mark = 0;
    // The link's time for windows made from now on; null: the real clock.
    LinkClock* linkClock = nullptr;

    void SetUp() override { previous = SetPromptOpener(&prompts); }
    void TearDown() override {
        window.reset();
        SetPromptOpener(previous);
        LanguageService::Instance().Clear();
    }
    std::unique_ptr<TestMainWnd> MakeWindow() {
        CMainWnd::Options options = CMainWnd::DetachedOptions(lockDir.path());
        monitor = options.monitor.get();
        options.clock = linkClock;
        return std::make_unique<TestMainWnd>(port ? *port : amp, std::move(options));
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
    // OpenWith, shown at a size that holds every control and given the keyboard.
    void OpenActive(const DspState& state) {
        OpenWith(state);
        window->resize(1400, 800);
        Activate();
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

    // ---- what reached the amplifier

    // "cmd subcmd optype | payload" of a host report.
    static std::string Describe(const OutputReport& report) {
        const int length = report[3];
        return ToHex(report.data() + 4, 3) + " | " + ToHex(report.data() + 7, length - 3);
    }
    // DSP setters the host wrote since the mark.
    std::vector<std::string> Setters() {
        std::vector<std::string> out;
        const auto reports = amp.WrittenReports();
        for (std::size_t i = mark; i < reports.size(); ++i)
            if (reports[i][4] == 0x01 && reports[i][6] == 0xBB) out.push_back(Describe(reports[i]));
        return out;
    }
    // Waits until `count` setters arrived since the mark, then returns them.
    std::vector<std::string> SettersWhenSent(std::size_t count) {
        EXPECT_TRUE(WaitUntil([&] { return Setters().size() >= count; }, 5000))
            << ::testing::PrintToString(Setters());
        return Setters();
    }
    // Everything queued so far, once it has reached the amplifier: the link is idle
    // (nothing queued, nothing in the worker's hand) and no handler is left to queue more.
    std::vector<std::string> AllSetters() {
        EXPECT_TRUE(WaitUntil(
            [&] {
                return Settled() &&
                       Controller().Link().WaitCmdQueueIdle(std::chrono::milliseconds(0));
            },
            5000));
        return Setters();
    }

    // ---- user actions

    void Type(const QString& editName, const QString& text) {
        auto* edit = Control<QLineEdit>(editName);
        ASSERT_NE(edit, nullptr) << editName.toStdString();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void Click(const QString& name) {
        auto* w = Control(name);
        ASSERT_NE(w, nullptr) << name.toStdString();
        QTest::mouseClick(w, Qt::LeftButton);
    }
    // The window's open pop-up menu (the outermost when a submenu is open too).
    QMenu* VisibleMenu() {
        for (QMenu* m : window->findChildren<QMenu*>())
            if (m->isVisible()) return m;
        return nullptr;
    }
    // Drags band `band`'s marker on the curve up by `up` pixels in four moves.
    void DragCurveMarker(int band, int up) {
        auto* curve = dynamic_cast<UIEqualizer*>(Control("equalizer"));
        ASSERT_NE(curve, nullptr);
        const IntPoint c = curve->GetMarkerCenter(band);
        const QPoint at(c.x, c.y);
        QTest::mouseMove(curve, at);
        QTest::mousePress(curve, Qt::LeftButton, Qt::NoModifier, at);
        for (int i = 1; i <= 4; ++i) QTest::mouseMove(curve, at - QPoint(0, up * i / 4));
        QTest::mouseRelease(curve, Qt::LeftButton, Qt::NoModifier, at - QPoint(0, up));
    }
    // Shows the window and gives it the keyboard, so focus moves send their notifications.
    void Activate() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
};

}  // namespace kavelo::test

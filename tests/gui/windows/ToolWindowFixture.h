#pragma once

// The main window connected to a virtual amplifier, with a tool window opened the way
// a user opens it and driven inside its modal loop; what reached the amplifier is read
// back from the reports it was written.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "GuiTestSupport.h"
#include "app/MainWindowFixture.h"
#include "control/DspRecords.h"
#include "device/PacketCodec.h"
#include "ui/WindowImplBase.h"

namespace kavelo::test {

class ToolWindowFixture : public MainWindowFixture {
protected:
    // A DSP setter the host wrote: its subcommand and its payload in hex.
    struct Setter {
        int subcmd = 0;
        std::string payload;
    };
    static constexpr int kMemSubcmd = 0x42;
    static constexpr std::uint32_t kSentinelAddress = 0xFEEDF00D;

    static DspState Defaults(int source) {
        DspState s;  // holds the defaults
        s.inputSource = source;
        return s;
    }

    // Runs `body` on the modal window that `open` brings up, then closes the window if
    // the body left it open. Fails the test when no window came.
    template <class Window>
    void WithModal(const std::function<void()>& open, const std::function<void(Window*)>& body) {
        bool ran = false;
        WhenModalShown(
            [&](QWidget* shown) {
                ran = true;
                auto* tool = qobject_cast<Window*>(shown);
                ASSERT_NE(tool, nullptr) << "no tool window came up";
                // As on a desktop, the window that comes up is the active one, so its
                // edits take the keyboard focus.
                tool->activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(tool));
                body(tool);
                if (tool->isVisible()) tool->Close(0);
            },
            window.get());
        open();
        ASSERT_TRUE(WaitUntil([&] { return ran; }));
    }

    // Clicks the main window's `button` and then `item` of the menu it opened.
    void ClickMenuItem(const char* button, const char* item) {
        QTest::mouseClick(Control(button), Qt::LeftButton);
        QMenu* menu = VisibleMenu();
        ASSERT_NE(menu, nullptr) << button;
        QAction* action = WindowImplBase::FindMenuItem(menu, QLatin1String(item));
        ASSERT_NE(action, nullptr) << item;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }

    // Every setter written since the mark; Flush's sentinels are not the test's.
    std::vector<Setter> Setters() const {
        std::vector<Setter> out;
        const auto reports = amp.WrittenReports();
        for (std::size_t i = mark; i < reports.size(); ++i) {
            const auto& r = reports[i];
            if (r[4] != 0x01 || r[6] != 0xBB) continue;
            Setter s{r[5], ToHex(r.data() + 7, static_cast<std::size_t>(r[3] - 3))};
            if (s.subcmd == kMemSubcmd && s.payload.rfind("0D F0 ED FE", 0) == 0) continue;
            out.push_back(s);
        }
        return out;
    }
    // Queues a sentinel behind everything queued so far and waits until it reached the
    // amplifier: then every earlier command has arrived too.
    // Only reports written after the sentinel was queued count: an earlier sentinel
    // proves nothing about what was queued since.
    void Flush() {
        const std::size_t from = amp.WrittenReports().size();
        ASSERT_TRUE(Controller().Link().Set_MemData(kSentinelAddress, 0, false));
        ASSERT_TRUE(WaitUntil(
            [&] {
                const auto reports = amp.WrittenReports();
                for (std::size_t i = from; i < reports.size(); ++i) {
                    const auto& r = reports[i];
                    if (r[4] == 0x01 && r[5] == kMemSubcmd && r[6] == 0xBB && r[7] == 0x0D &&
                        r[8] == 0xF0 && r[9] == 0xED && r[10] == 0xFE)
                        return true;
                }
                return false;
            },
            5000));
    }
    // The payloads of the setters sent since the mark, once they all arrived.
    std::vector<std::string> SentPayloads(int subcmd) {
        Flush();
        std::vector<std::string> out;
        for (const Setter& s : Setters()) {
            EXPECT_EQ(s.subcmd, subcmd) << "unexpected setter " << s.payload;
            out.push_back(s.payload);
        }
        return out;
    }

    static void ClickIn(QWidget* tool, const char* name) {
        auto* button = tool->findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static QLineEdit* EditIn(QWidget* tool, const QString& name) {
        auto* edit = tool->findChild<QLineEdit*>(name);
        EXPECT_NE(edit, nullptr) << name.toStdString();
        return edit;
    }
    // Clicks into the edit, replaces its text and presses Enter.
    static void TypeIn(QWidget* tool, const QString& name, const QString& text) {
        QLineEdit* edit = EditIn(tool, name);
        if (!edit) return;
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

}  // namespace kavelo::test

#pragma once

// The probe window and its fixture, shared by the tests of the window layer.
#include <gtest/gtest.h>

#include <QFrame>
#include <QTest>
#include <utility>

#include "app/MainWnd.h"
#include "ui/LanguageService.h"
#include "ui/WindowImplBase.h"

namespace kavelo::test {

// A window on a test layout that records what reaches it.
class ProbeWnd : public WindowImplBase {
public:
    QString GetSkinFile() const override { return "XML_PROBE"; }
    QString GetWindowClassName() const override { return "ProbeWnd"; }
    QString GetLayoutPath() const override { return KAVELO_GUI_LAYOUTS "/probe.ui"; }

    QStringList notes;
    QList<int> timers;
    struct Message {
        int id;
        std::uintptr_t wParam;
        std::int64_t number;
        QString text;
    };
    QList<Message> messages;

    QStringList Take() { return std::exchange(notes, {}); }

protected:
    void Notify(TNotifyUI& msg) override {
        if (msg.sType != "windowsize" && msg.pSender)
            notes << msg.sType + ":" + msg.pSender->objectName();
        WindowImplBase::Notify(msg);
    }
    bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                             const QString& text) override {
        const auto* number = std::get_if<std::int64_t>(&lParam);
        messages.push_back({id, wParam, number ? *number : -1, text});
        return true;
    }
    void OnTimer(int id) override { timers << id; }
    QWidget* CreateCustomControl(const QString& className, QWidget* parent) override {
        if (className != "Curve") return nullptr;
        auto* curve = new QFrame(parent);
        curve->setProperty("madeByHook", true);
        return curve;
    }
};

class WindowLayer : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterLanguages();
        LanguageService::Instance().SetLanguage("en");
        ASSERT_TRUE(window.Create("${tips}"));
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.Take();
    }
    void TearDown() override { LanguageService::Instance().Clear(); }

    template <class T>
    T* Get(const char* name) {
        T* control = window.FindControl<T>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    ProbeWnd window;
};

}  // namespace kavelo::test

#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QStringList>
#include <QTest>
#include <cstdlib>

#include "graph/EqualizerGeometry.h"
#include "graph/ResponseCurve.h"
#include "graph/UIEqualizer.h"
#include "ui/WindowImplBase.h"

namespace kavelo::test {

// A window on the graph test layout; records the notifications of its controls.
class GraphWnd : public WindowImplBase {
public:
    QString GetSkinFile() const override { return "XML_GRAPH"; }
    QString GetWindowClassName() const override { return "GraphWnd"; }
    QString GetLayoutPath() const override { return KAVELO_GUI_LAYOUTS "/graph.ui"; }

    QStringList notes;
    QStringList Take() { return std::exchange(notes, {}); }
    // Per "equalizer_eq": whether the curve said it came from a hover.
    QList<bool> hovers;

protected:
    void Notify(TNotifyUI& msg) override {
        static const QStringList kIgnored{"windowsize", "setfocus", "killfocus"};
        if (msg.pSender && !kIgnored.contains(msg.sType))
            notes << msg.sType + ":" + msg.pSender->objectName();
        if (auto* curve = qobject_cast<UIEqualizer*>(msg.pSender);
            curve && msg.sType == QLatin1String("equalizer_eq"))
            hovers << curve->IsHoverSelection();
        WindowImplBase::Notify(msg);
    }
};

// Shows the graph layout's window for one test.
class GraphWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Create("graph"));
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.Take();
    }
    GraphWnd window;
};

// The graph window's curve control and the axes it draws on.
class CurveWindowTest : public GraphWindowTest {
protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        if (HasFatalFailure()) return;
        eq = window.FindControl<UIEqualizer>("equalizer");
        ASSERT_NE(eq, nullptr);
        axes = MakeEqAxes({0, 0, eq->width(), eq->height()});
    }
    UIEqualizer* eq = nullptr;
    EqAxes axes;
};

// Whether `pixel` is within `tolerance` of `expected` on every channel.
inline bool Near(QRgb pixel, QRgb expected, int tolerance = 24) {
    return std::abs(qRed(pixel) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(pixel) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(pixel) - qBlue(expected)) <= tolerance;
}

// A curve at `db` over the whole response grid.
inline ResponseCurve Flat(double db) {
    ResponseCurve c;
    c.freq = ResponseGrid();
    c.db.fill(db);
    return c;
}

inline QImage Render(QWidget* control) {
    return control->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace kavelo::test

// Filter lists and measurements from the main window's menu against the virtual
// amplifier: import (band commands, PEQ mode, the report), export, refusals and
// the measurement overlay following a drag.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <iterator>

#include "AmpBands.h"
#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "control/FilterText.h"
#include "graph/Measurement.h"
#include "graph/UIEqualizer.h"
#include "sim/AmplifierState.h"
#include "ui/LanguageService.h"
#include "ui/WindowMessage.h"

namespace kavelo {
namespace {

// Scripted prompts that also answer the name entry with `typed`.
class OffsetPrompts : public test::ScriptedPrompts {
public:
    QString typed;
    QString shown;
    int NameEntry(QWidget*, const QString&, const QString& text, QString& buffer) override {
        texts << text;
        shown = buffer;
        buffer = typed;
        return 1;
    }
};

class Measurements : public test::MainWindowFixture {
protected:
    void SetUp() override {
        test::MainWindowFixture::SetUp();
        SetPromptOpener(&offsetPrompts);
    }
    QTemporaryDir dir;
    OffsetPrompts offsetPrompts;
    test::ScriptedPrompts& Prompts() { return offsetPrompts; }
    QString Write(const char* name, const std::string& text) {
        const QString path = dir.filePath(QLatin1String(name));
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        return path;
    }
    void Menu(const char* item) {
        PostWindowMessage(window.get(), WM_MENU_COMMAND, 0, {}, QLatin1String(item));
        QApplication::processEvents();
        ASSERT_TRUE(test::WaitUntil([&] { return Settled(); }));
    }
    UIEqualizer* Curve() { return dynamic_cast<UIEqualizer*>(Control("equalizer")); }
    AmpChannel AmpOutput(int n) { return amp.LiveState().settings.channels[n]; }
};

const char* kApo =
    "# AutoEQ for the front left\n"
    "Preamp: -3 dB\n"
    "Filter 1: ON PK Fc 63 Hz Gain -6.5 dB Q 4.25\n"
    "Filter 2: ON LS Fc 100 Hz Gain 3 dB\n"
    "Filter 3: ON PK Fc 250 Hz Gain 2.5 dB Q 1.5\n"
    "Filter 4: ON PK Fc 4000 Hz Gain -3 dB Q 2\n";

TEST_F(Measurements, ImportSendsTheBandsSwitchesToPeqAndReportsEachLine) {
    DspState s = test::ConnectedDefaults();
    s.channels[2].bands[20].eqGain = 4.0f;  // an old correction
    s.channels[2].bypass = 0;
    OpenWith(s);
    Click("ch_enable_2");
    ASSERT_EQ(Controller().Live().currChannel, 2);
    Mark();
    ASSERT_FALSE(Selected("btn_arg_eq"));
    Prompts().files = {Write("apo.txt", kApo)};
    Menu("scene_item_import_filters");
    AllSetters();

    test::ExpectAmpBand(AmpOutput(2).bands[0], WireEqBand(63, 4.25f, -6.5f), 0);
    test::ExpectAmpBand(AmpOutput(2).bands[1], WireEqBand(250, 1.5f, 2.5f), 1);
    test::ExpectAmpBand(AmpOutput(2).bands[2], WireEqBand(4000, 2.0f, -3.0f), 2);
    const EqBand old = s.channels[2].bands[20];
    test::ExpectAmpBand(AmpOutput(2).bands[20], WireEqBand(old.freq, old.eqFactor, 0.0f), 20);
    EXPECT_EQ(AmpOutput(2).eqBypass, 0);
    EXPECT_TRUE(Selected("btn_arg_eq"));
    EXPECT_EQ(Key("btn_arg_eq"), "${peq_mode}");
    EXPECT_EQ(Curve()->GetDragAllDirection(), 1);
    EXPECT_EQ(Text("eq_freq_1"), "250");
    EXPECT_EQ(Text("eq_q_0"), "4.30");  // the nearest tenth, which the amplifier holds
    EXPECT_EQ(Text("eq_gain_0"), "-6.5");
    EXPECT_EQ(Prompts().filters.back(), "Filter list (*.txt);;All files (*)");

    const QString report = Prompts().texts.back();
    EXPECT_TRUE(report.startsWith("3 filters were taken into output 3.")) << report.toStdString();
    EXPECT_TRUE(report.contains(
        "Line 2: the preamp is not applied (set the output volume instead): Preamp: -3 dB"))
        << report.toStdString();
    EXPECT_TRUE(
        report.contains("Line 4: the amplifier's EQ has peaking filters only, skipped: "
                        "Filter 2: ON LS Fc 100 Hz Gain 3 dB"))
        << report.toStdString();

    // The whole import is one undo step: undo puts the old correction back.
    EXPECT_EQ(Controller().UndoSteps(), 1u);
    Click("btn_undo");
    AllSetters();
    test::ExpectAmpBand(AmpOutput(2).bands[20], WireEqBand(old.freq, old.eqFactor, 4.0f), 20);
    test::ExpectAmpBand(
        AmpOutput(2).bands[0],
        WireEqBand(s.channels[2].bands[0].freq, s.channels[2].bands[0].eqFactor, 0.0f), 0);
}

// The same list again after the output's EQ was bypassed (its gains kept,
// hidden): every band comes back, the first one too, and the EQ is on again.
TEST_F(Measurements, TheSameListAgainOntoABypassedOutputKeepsEveryBand) {
    OpenWith(test::ConnectedDefaults());
    Click("ch_enable_2");
    const QString file = Write("apo.txt", kApo);
    Prompts().files = {file};
    Menu("scene_item_import_filters");
    AllSetters();
    Click("btn_bypass");  // the question is answered yes
    AllSetters();
    ASSERT_EQ(AmpOutput(2).eqBypass, 1);
    ASSERT_FLOAT_EQ(Controller().Live().channels[2].bands[0].eqGain, -6.5f);

    Prompts().files = {file};
    Menu("scene_item_import_filters");
    AllSetters();
    test::ExpectAmpBand(AmpOutput(2).bands[0], WireEqBand(63, 4.25f, -6.5f), 0);
    test::ExpectAmpBand(AmpOutput(2).bands[1], WireEqBand(250, 1.5f, 2.5f), 1);
    test::ExpectAmpBand(AmpOutput(2).bands[2], WireEqBand(4000, 2.0f, -3.0f), 2);
    EXPECT_EQ(AmpOutput(2).eqBypass, 0);
    EXPECT_FLOAT_EQ(Controller().Live().channels[2].bands[0].eqGain, -6.5f);
    EXPECT_EQ(Controller().Live().channels[2].bypass, 0);
    EXPECT_EQ(Text("eq_gain_0"), "-6.5");
    EXPECT_EQ(Key("btn_bypass"), "${bypass_eq}");
}

TEST_F(Measurements, AFileWithoutUsableFiltersChangesNothing) {
    OpenWith(test::ConnectedDefaults());
    const DspState before = Controller().Live();
    Prompts().files = {Write("shelf.txt", "Filter 1: ON HS Fc 8000 Hz Gain -2 dB\n")};
    Menu("scene_item_import_filters");
    EXPECT_TRUE(AllSetters().empty());
    EXPECT_FALSE(Selected("btn_arg_eq"));
    EXPECT_TRUE(Prompts().texts.back().startsWith(GetText("${filters_none}")));
    EXPECT_TRUE(Prompts().texts.back().contains("Line 1:"));
    EXPECT_EQ(Controller().Live().channels[0].bands[0].freq, before.channels[0].bands[0].freq);

    Prompts().files = {dir.filePath("missing.txt")};
    Menu("scene_item_import_filters");
    EXPECT_EQ(Prompts().texts.back(), "${file_read_error}");
    Prompts().files.clear();  // a cancelled dialog does nothing at all
    const int boxes = Prompts().texts.size();
    Menu("scene_item_import_filters");
    EXPECT_EQ(Prompts().texts.size(), boxes);
}

TEST_F(Measurements, ExportWritesWhatImportTook) {
    OpenWith(test::ConnectedDefaults());
    Prompts().files = {Write("apo.txt", kApo)};
    Menu("scene_item_import_filters");
    Prompts().files = {dir.filePath("rew.txt"), dir.filePath("apo-out.txt")};
    Menu("scene_item_export_rew");
    EXPECT_EQ(Prompts().texts.back(), "3 filters were written.");
    Menu("scene_item_export_apo");
    const FilterImport original = ParseFilterText(kApo, FilterLimits{});
    for (const char* name : {"rew.txt", "apo-out.txt"}) {
        std::ifstream in(dir.filePath(QLatin1String(name)).toStdString());
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        const FilterImport back = ParseFilterText(text, FilterLimits{});
        ASSERT_EQ(back.filters.size(), original.filters.size()) << text;
        for (std::size_t i = 0; i < back.filters.size(); ++i) {
            EXPECT_EQ(back.filters[i].freq, original.filters[i].freq);
            EXPECT_NEAR(back.filters[i].q, original.filters[i].q, 0.005);
            EXPECT_NEAR(back.filters[i].gain, original.filters[i].gain, 0.05);
        }
    }
}

TEST_F(Measurements, OverlayFollowsADragAndTakesATypedOffset) {
    OpenActive(test::ConnectedDefaults());
    const std::string rew =
        "* Measurement data measured by REW V5.20\n* Freq(Hz), SPL(dB), Phase(degrees)\n"
        "20.0, 85.0, 0\n200.0, 80.0, 10\n2000.0, 78.0, 20\n20000.0, 70.0, 30\n";
    Prompts().files = {Write("left.txt", rew)};
    Menu("scene_item_load_measurement");
    UIEqualizer* curve = Curve();
    ASSERT_TRUE(curve->HasMeasurement());
    MeasurementText parsed;
    ASSERT_TRUE(ParseMeasurementText(rew, parsed));
    const ResponseArray levels = ResampleMeasurement(parsed.points);
    const double offset = AutoMeasurementOffset(levels);
    const std::size_t k = 300;
    ASSERT_FALSE(std::isnan(levels[k]));
    EXPECT_DOUBLE_EQ(curve->GetMeasurement()[k], levels[k] + offset);

    // Mid-drag, before the button is released, the prediction already moved.
    const ResponseArray before = curve->GetPredicted();
    const IntPoint c = curve->GetMarkerCenter(12);
    const QPoint at(c.x, c.y);
    QTest::mouseMove(curve, at);
    QTest::mousePress(curve, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(curve, at - QPoint(0, 40));
    const ResponseArray during = curve->GetPredicted();
    const ResponseArray& response = Controller().Curves()[0].db;
    for (std::size_t i = 0; i < during.size(); ++i) {
        if (std::isnan(during[i])) continue;
        EXPECT_DOUBLE_EQ(during[i], curve->GetMeasurement()[i] + response[i]) << i;
    }
    std::size_t at12 = 0;
    while (ResponseGrid()[at12] < Controller().Live().channels[0].bands[12].freq) ++at12;
    EXPECT_GT(during[at12], before[at12] + 1.0);
    QTest::mouseRelease(curve, Qt::LeftButton, Qt::NoModifier, at - QPoint(0, 40));

    offsetPrompts.typed = "-70";
    Menu("scene_item_measurement_offset");
    EXPECT_EQ(offsetPrompts.shown, QString::number(offset, 'f', 1));
    EXPECT_DOUBLE_EQ(curve->GetMeasurement()[k], levels[k] - 70.0);
    offsetPrompts.typed = "loud";
    Menu("scene_item_measurement_offset");
    EXPECT_EQ(Prompts().texts.back(), "${measurement_offset_error}");
    EXPECT_DOUBLE_EQ(curve->GetMeasurement()[k], levels[k] - 70.0);
    offsetPrompts.typed = "";  // back to automatic
    Menu("scene_item_measurement_offset");
    EXPECT_DOUBLE_EQ(curve->GetMeasurement()[k], levels[k] + offset);

    // Another output has none; coming back shows it again; hiding removes it.
    Click("ch_enable_1");
    EXPECT_FALSE(curve->HasMeasurement());
    Click("ch_enable_0");
    EXPECT_TRUE(curve->HasMeasurement());
    Menu("scene_item_clear_measurement");
    EXPECT_FALSE(curve->HasMeasurement());
    Menu("scene_item_measurement_offset");
    EXPECT_EQ(Prompts().texts.back(), "${measurement_none}");

    Prompts().files = {Write("words.txt", "no numbers here\n")};
    Menu("scene_item_load_measurement");
    EXPECT_EQ(Prompts().texts.back(), "${measurement_error}");
    EXPECT_FALSE(curve->HasMeasurement());
}

}  // namespace
}  // namespace kavelo

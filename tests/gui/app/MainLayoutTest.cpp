// The main window's layouts: every control the window and its controller look up, with
// the kind, index and range they rely on; what the controls notify; the car diagram;
// the look at 100 % and 150 %; and the committed files against their generator.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QSizeGrip>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <cstdlib>

#include "MainLayouts.h"
#include "ToolLayouts.h"
#include "app/MainWnd.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"
#include "graph/SButton.h"
#include "graph/UIEqualizer.h"
#include "ui/LanguageService.h"
#include "ui/WindowImplBase.h"

namespace kavelo {
namespace {

// The main layout with its output-channel sub-layout, built the way the main window
// builds them, recording what the controls notify.
class MainLayoutWnd : public WindowImplBase {
public:
    QString GetSkinFile() const override { return "XML_MAIN"; }
    QString GetWindowClassName() const override { return "MainWnd"; }

    QWidget* subLayout = nullptr;
    bool mainWindow = false;
    QStringList notes;
    QStringList Take() { return std::exchange(notes, {}); }

protected:
    bool IsMainWindow() const override { return mainWindow; }
    void InitWindow() override {
        subLayout = BuildSubLayout("channel_settings", "xml/channel_settings_6in_mixer.xml");
    }
    void Notify(TNotifyUI& msg) override {
        if (msg.pSender && msg.pSender != this)
            notes << QString("%1:%2:%3")
                         .arg(msg.sType, msg.pSender->objectName())
                         .arg(UserData(msg.pSender));
    }
};

enum class Kind { Click, Select, Option, Slider, Edit, Combo, Curve, Widget, Label };

// One control name or one "%d" family of them. Families carry their index in the name
// and in "userdata"; `min`/`max` are a slider's range.
struct NameCase {
    const char* pattern;
    int first;
    int last;  // first == last == -1: a single control
    Kind kind;
    int min = 0;
    int max = 0;
};

QString NameOf(const NameCase& c, int index) {
    return c.first < 0 ? QString(c.pattern) : QString::asprintf(c.pattern, index);
}

// Every name the main window, its notification dispatch and the controller look up in
// the two layouts.
const NameCase kNames[] = {
    // window and tool buttons
    {"closebtn", -1, -1, Kind::Click},
    {"minbtn", -1, -1, Kind::Click},
    {"maxbtn", -1, -1, Kind::Click},
    {"restorebtn", -1, -1, Kind::Click},
    {"btnConnect", -1, -1, Kind::Select},
    {"btn_amp_onoff", -1, -1, Kind::Select},
    {"btn_option", -1, -1, Kind::Click},
    {"btn_scene", -1, -1, Kind::Click},
    {"btn_advance", -1, -1, Kind::Click},
    {"btn_irc", -1, -1, Kind::Click},
    {"btn_debug", -1, -1, Kind::Click},
    {"btn_reset_eq", -1, -1, Kind::Click},
    {"btn_bypass", -1, -1, Kind::Click},
    {"btn_arg_eq", -1, -1, Kind::Select},
    {"btn_reset_output", -1, -1, Kind::Click},
    {"btn_lock_output", -1, -1, Kind::Select},
    {"btn_link_output", -1, -1, Kind::Select},
    // main volume and source
    {"main_mute", -1, -1, Kind::Option},
    {"slider_main_volume", -1, -1, Kind::Slider, 0, 40},
    {"edit_main_volume", -1, -1, Kind::Edit},
    {"btn_input_source", -1, -1, Kind::Combo},
    // curve, crossover, units
    {"equalizer", -1, -1, Kind::Curve},
    {"channel_settings", -1, -1, Kind::Widget},
    {"comb_ch_unit", -1, -1, Kind::Combo},
    {"hp_type", -1, -1, Kind::Combo},
    {"lp_type", -1, -1, Kind::Combo},
    {"hp_slop", -1, -1, Kind::Combo},
    {"lp_slop", -1, -1, Kind::Combo},
    {"hp_freq", -1, -1, Kind::Edit},
    {"lp_freq", -1, -1, Kind::Edit},
    // band columns
    {"eq_freq_%d", 0, 30, Kind::Edit},
    {"eq_q_%d", 0, 30, Kind::Edit},
    {"eq_gain_%d", 0, 30, Kind::Edit},
    {"eq_slider_%d", 0, 30, Kind::Slider, -180, 120},
    {"pt_enable_%d", 0, 30, Kind::Select},
    // output strips
    {"ch_show_%d", 0, 7, Kind::Option},
    {"ch_enable_%d", 0, 7, Kind::Select},
    {"ch_output_btn_%d", 0, 7, Kind::Click},
    {"ch_mute_%d", 0, 7, Kind::Option},
    {"ch_phase_%d", 0, 7, Kind::Option},
    {"ch_synchronize_%d", 0, 7, Kind::Option},
    {"slider_ch_volume_%d", 0, 7, Kind::Slider, -600, 0},
    {"edit_ch_volume_%d", 0, 7, Kind::Edit},
    {"ch_volume_bg_%d", 0, 7, Kind::Widget},
    {"slider_ch_delay_%d", 0, 7, Kind::Slider, 0, 15000},
    {"edit_ch_delay_%d", 0, 7, Kind::Edit},
    {"delay_lable_%d", 0, 7, Kind::Label},
    {"control_empty_%d", 0, 7, Kind::Widget},
    {"option_ch_in1_%d", 0, 7, Kind::Option},
    {"option_ch_in2_%d", 0, 7, Kind::Option},
    {"option_ch_in3_%d", 0, 7, Kind::Option},
    {"option_ch_in4_%d", 0, 7, Kind::Option},
    {"option_ch_in5_%d", 0, 7, Kind::Option},
    {"option_ch_in6_%d", 0, 7, Kind::Option},
    // car diagram, indexed by role
    {"speaker_%d", 1, 24, Kind::Select},
};

class MainLayout : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterLanguages();
        LanguageService::Instance().SetLanguage("en");
        ASSERT_TRUE(window.Create("Kavelo DSP Audio"));
        ASSERT_NE(window.subLayout, nullptr);
        window.ApplyDpi(96);
        window.show();
        window.Take();
    }
    void TearDown() override { LanguageService::Instance().Clear(); }

    template <class T>
    T* Get(const QString& name) {
        T* control = window.FindControl<T>(name);
        EXPECT_NE(control, nullptr) << name.toStdString();
        return control;
    }

    MainLayoutWnd window;
};

bool IsKind(QWidget* w, Kind kind) {
    auto* button = qobject_cast<QAbstractButton*>(w);
    switch (kind) {
        case Kind::Click:
            return button && !button->isCheckable() && !qobject_cast<CSButtonUI*>(w);
        case Kind::Select:
            return qobject_cast<CSButtonUI*>(w) != nullptr;
        case Kind::Curve:
            return qobject_cast<UIEqualizer*>(w) != nullptr;
        case Kind::Option:
            return button && button->isCheckable();
        case Kind::Slider:
            return qobject_cast<QSlider*>(w) != nullptr;
        case Kind::Edit:
            return qobject_cast<QLineEdit*>(w) != nullptr;
        case Kind::Combo:
            return qobject_cast<QComboBox*>(w) != nullptr;
        case Kind::Label:
            return qobject_cast<QLabel*>(w) != nullptr;
        case Kind::Widget:
            return w != nullptr;
    }
    return false;
}

TEST_F(MainLayout, EveryControlExistsOnceWithItsKindIndexAndRange) {
    for (const NameCase& c : kNames) {
        SCOPED_TRACE(c.pattern);
        const int first = c.first < 0 ? 0 : c.first;
        const int last = c.first < 0 ? 0 : c.last;
        for (int i = first; i <= last; ++i) {
            const QString name = NameOf(c, i);
            const QList<QWidget*> found = window.findChildren<QWidget*>(name);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            QWidget* w = found.front();
            EXPECT_TRUE(IsKind(w, c.kind))
                << name.toStdString() << " has the wrong kind: " << w->metaObject()->className();
            if (c.first >= 0) {
                EXPECT_EQ(w->property("userdata").toString(), QString::number(i))
                    << name.toStdString();
            }
            if (auto* slider = qobject_cast<QSlider*>(w)) {
                EXPECT_EQ(slider->minimum(), c.min) << name.toStdString();
                EXPECT_EQ(slider->maximum(), c.max) << name.toStdString();
            }
        }
    }
}

// The dispatch reads the index from the control; a click or a selection change must
// arrive under the control's name with that index.
TEST_F(MainLayout, ControlsNotifyWhatTheDispatchTestsWithTheirIndex) {
    struct Case {
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"ch_enable_3", "click:ch_enable_3:3"},
        {"ch_output_btn_7", "click:ch_output_btn_7:7"},
        {"pt_enable_30", "click:pt_enable_30:30"},
        {"speaker_24", "click:speaker_24:24"},
        {"btnConnect", "click:btnConnect:0"},
        {"btn_lock_output", "click:btn_lock_output:0"},
        {"ch_mute_5", "selectchanged:ch_mute_5:5"},
        {"ch_show_0", "selectchanged:ch_show_0:0"},
        {"option_ch_in6_2", "selectchanged:option_ch_in6_2:2"},
        {"main_mute", "selectchanged:main_mute:0"},
    };
    for (const Case& c : cases) {
        auto* button = Get<QAbstractButton>(c.name);
        ASSERT_NE(button, nullptr);
        button->click();
        EXPECT_EQ(window.Take(), QStringList{c.expected}) << c.name;
    }
    // A selectable button's look is its owner's: a click leaves it, code sets it silently.
    auto* channel = Get<QAbstractButton>("ch_enable_3");
    EXPECT_FALSE(WindowImplBase::IsSelected(channel));
    WindowImplBase::SetSelected(channel, true);
    EXPECT_TRUE(WindowImplBase::IsSelected(channel));
    channel->click();
    EXPECT_TRUE(WindowImplBase::IsSelected(channel));
    EXPECT_EQ(window.Take(), QStringList{"click:ch_enable_3:3"});
    // Options notify when they are cleared as well.
    auto* mute = Get<QAbstractButton>("ch_mute_5");
    mute->click();
    EXPECT_EQ(window.Take(), QStringList{"selectchanged:ch_mute_5:5"});

    auto* source = Get<QComboBox>("btn_input_source");
    source->setCurrentIndex(2);
    EXPECT_EQ(window.Take(), QStringList{"itemselect:btn_input_source:0"});
}

TEST_F(MainLayout, CurveHasAColourForEveryOutput) {
    auto* curve = qobject_cast<UIEqualizer*>(window.FindControl("equalizer"));
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->GetCurveColorCount(), kOutputChannels);
}

TEST_F(MainLayout, SelectorsOfferTheModelsItems) {
    auto* source = Get<QComboBox>("btn_input_source");
    ASSERT_EQ(source->count(), kInputSources);
    for (int i = 0; i < kInputSources; ++i) {
        EXPECT_EQ(source->itemData(i).toString(), InputSource(i)->itemName) << i;
        EXPECT_EQ(source->itemText(i), GetText(InputSource(i)->text)) << i;
    }
    EXPECT_EQ(Get<QComboBox>("comb_ch_unit")->count(), 3);
    for (const char* name : {"hp_slop", "lp_slop"}) {
        auto* slope = Get<QComboBox>(name);
        EXPECT_EQ(slope->count(), 9) << name;  // off and 1 ... 8 times 6 dB per octave
        EXPECT_EQ(slope->itemText(0), GetText("${off}")) << name;
    }
    // The type selector's index is the filter family 1 ... 3; item 0 is never offered.
    for (const char* name : {"hp_type", "lp_type"}) {
        auto* type = Get<QComboBox>(name);
        ASSERT_EQ(type->count(), 4) << name;
        auto* list = qobject_cast<QListView*>(type->view());
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->isRowHidden(0)) << name;
        for (int i = 1; i <= 3; ++i) EXPECT_FALSE(list->isRowHidden(i)) << name << i;
    }
}

TEST_F(MainLayout, LanguageSwitchReachesEveryTextAndItem) {
    for (const char* language : {"en", "cn_zh", "ru"}) {
        LanguageService::Instance().SetLanguage(language);
        for (QWidget* w : window.findChildren<QWidget*>()) {
            QStringList texts;
            if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
            if (auto* combo = qobject_cast<QComboBox*>(w))
                for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
            texts << w->toolTip();
            for (const QString& text : texts)
                EXPECT_FALSE(text.contains("${"))
                    << language << " " << w->objectName().toStdString() << " shows "
                    << text.toStdString();
        }
    }
    EXPECT_EQ(Get<QComboBox>("btn_input_source")->itemText(5), GetText("${source_hi}"));
}

// Each role's speaker sits where that speaker is in a car: left roles on the left and
// right roles mirrored, front above rear above the subwoofers, centre roles in the
// middle; two roles that can be assigned together never cover each other.
TEST_F(MainLayout, SpeakersSitAtTheirRolesPlacesOnTheCar) {
    QWidget* car = Get<QWidget>("car_view");
    ASSERT_NE(car, nullptr);
    auto rect = [&](int role) {
        QWidget* w = Get<QWidget>(QString("speaker_%1").arg(role));
        EXPECT_EQ(w->parentWidget(), car) << role;
        return w->geometry();
    };
    const int middle = car->width() / 2;
    for (int role = 1; role <= 24; ++role) {
        const QRect r = rect(role);
        EXPECT_TRUE(QRect(QPoint(0, 0), car->size()).contains(r)) << role;
        const int group = RolePositionGroup(role);
        if (group == 0 || group == 2) {
            EXPECT_LT(r.center().x(), middle) << role;
        } else if (group == 1 || group == 3) {
            EXPECT_GT(r.center().x(), middle) << role;
        } else if (group == 4 || role == 24) {
            EXPECT_LE(std::abs(2 * r.x() + r.width() - car->width()), 1) << role;
        }
        const int mirror = MirrorRole(role);
        if (mirror > 0) {
            const QRect m = rect(mirror);
            EXPECT_EQ(r.y(), m.y()) << role;
            EXPECT_EQ(r.size(), m.size()) << role;
            EXPECT_EQ(r.x() + m.x() + m.width(), car->width()) << role;
        }
    }
    // front doors above rear doors above the boot
    EXPECT_LT(rect(3).bottom(), rect(14).top());
    EXPECT_LT(rect(15).bottom(), rect(24).top());
    EXPECT_LT(rect(19).bottom(), rect(6).bottom());
    for (int a = 1; a <= 24; ++a) {
        for (int b = a + 1; b <= 24; ++b) {
            const bool together = RolePositionGroup(a) != RolePositionGroup(b) ||
                                  (SpeakerRole(a).bandMask & SpeakerRole(b).bandMask) == 0;
            if (together) {
                EXPECT_FALSE(rect(a).intersects(rect(b))) << a << " and " << b;
            }
        }
    }
    // Only the roles of a fresh model show before the controller takes over.
    DspState defaults;
    ResetToDefaults(defaults);
    for (int role = 1; role <= 24; ++role)
        EXPECT_EQ(!Get<QWidget>(QString("speaker_%1").arg(role))->isHidden(),
                  IsRoleUsed(defaults, role))
            << role;
}

// At 96 dpi everything fits the design size; at 144 dpi the window, its margins and the
// positioned speakers grow by half, and going back restores the original geometry.
TEST_F(MainLayout, FitsItsSizeAndScalesCleanly) {
    struct Scale {
        int dpi;
        QSize size;
    };
    auto* speaker = Get<QWidget>("speaker_1");
    const QRect speakerAt96 = speaker->geometry();
    QLayout* strips = window.subLayout->layout();
    const QMargins marginsAt96 = strips->contentsMargins();
    for (const Scale& s : {Scale{144, {1845, 975}}, Scale{96, {1230, 650}}}) {
        window.ApplyDpi(s.dpi);
        QApplication::processEvents();
        EXPECT_EQ(window.size(), s.size) << s.dpi;
        const double f = s.dpi / 96.0;
        EXPECT_EQ(speaker->geometry(),
                  QRect(int(speakerAt96.x() * f), int(speakerAt96.y() * f),
                        int(speakerAt96.width() * f), int(speakerAt96.height() * f)))
            << s.dpi;
        EXPECT_EQ(strips->contentsMargins().left(), int(marginsAt96.left() * f)) << s.dpi;
    }
}

// The width an edit has for its text: its contents less the style's padding and the
// line edit's own margin of 2 pixels on each side.
int TextRoom(QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QRect contents =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2;
}

// Every value the strip edits can hold is shown whole at both scales: the longest
// delay in each unit and the lowest volume.
TEST_F(MainLayout, LongestValuesFitTheirEdits) {
    struct Field {
        const char* name;
        std::vector<QString> values;
    };
    const Field fields[] = {
        {"edit_ch_delay_%1", {"15.000 ms", "519.00 cm", "204.00 in"}},
        {"edit_ch_volume_%1", {"-60dB", GetText("${off}")}},
    };
    for (int dpi : {96, 144}) {
        window.ApplyDpi(dpi);
        QApplication::processEvents();
        // The caption beside the delay edit keeps its room in every language.
        for (const char* language : {"en", "ru", "cn_zh"}) {
            LanguageService::Instance().SetLanguage(language);
            QApplication::processEvents();
            auto* caption = Get<QLabel>("delay_lable_0");
            ASSERT_NE(caption, nullptr);
            EXPECT_LE(caption->fontMetrics().horizontalAdvance(caption->text()),
                      caption->contentsRect().width())
                << dpi << " dpi, " << language;
        }
        LanguageService::Instance().SetLanguage("en");
        for (const Field& f : fields) {
            for (int n = 0; n < kOutputChannels; ++n) {
                auto* edit = Get<QLineEdit>(QString(f.name).arg(n));
                ASSERT_NE(edit, nullptr);
                for (const QString& value : f.values) {
                    EXPECT_LE(edit->fontMetrics().horizontalAdvance(value), TextRoom(edit))
                        << dpi << " dpi: " << edit->objectName().toStdString() << " \""
                        << value.toStdString() << "\" in " << edit->width() << " px";
                }
            }
        }
    }
}

// The floating delay slider takes its placeholder's place beside the delay edit: the
// strip keeps its height and the edit stays where it was.
TEST_F(MainLayout, DelaySliderTakesThePlaceholdersPlace) {
    QApplication::processEvents();
    auto* strip = Get<QWidget>("ch_strip_3");
    auto* edit = Get<QWidget>("edit_ch_delay_3");
    auto* slider = Get<QWidget>("slider_ch_delay_3");
    auto* placeholder = Get<QWidget>("control_empty_3");
    EXPECT_TRUE(slider->isHidden());
    const int height = strip->height();
    const QRect editAt = edit->geometry();
    placeholder->hide();
    slider->show();
    QApplication::processEvents();
    EXPECT_EQ(strip->height(), height);
    EXPECT_EQ(edit->geometry(), editAt);
    EXPECT_GT(slider->width(), edit->width() / 2);
    EXPECT_EQ(slider->geometry().center().y(), editAt.center().y());
}

// Without a native frame the main window keeps a way to be resized: a grip in the
// bottom-right corner, hidden while maximised.
TEST(MainLayoutFrame, FramelessMainWindowHasASizeGrip) {
    RegisterLanguages();
    MainLayoutWnd window;
    window.mainWindow = true;
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    ASSERT_TRUE(window.Create("Kavelo DSP Audio"));
    window.ApplyDpi(96);
    window.show();
    QApplication::processEvents();
    auto* grip = window.findChild<QSizeGrip*>();
    ASSERT_NE(grip, nullptr);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(grip->geometry().bottomRight(), window.rect().bottomRight());
    window.showMaximized();
    QApplication::processEvents();
    EXPECT_FALSE(grip->isVisible());
    LanguageService::Instance().Clear();
}

// A sub-layout built into a window that is already scaled takes the window's scale.
TEST(MainLayoutScale, SubLayoutBuiltLaterIsScaledToo) {
    RegisterLanguages();
    MainLayoutWnd early;
    ASSERT_TRUE(early.Create("Kavelo DSP Audio"));
    early.ApplyDpi(144);

    struct LateWnd : MainLayoutWnd {
        void InitWindow() override {}
    } late;
    ASSERT_TRUE(late.Create("Kavelo DSP Audio"));
    late.ApplyDpi(144);
    ASSERT_NE(late.BuildSubLayout("channel_settings", "xml/channel_settings_6in_mixer.xml"),
              nullptr);
    for (const char* name : {"edit_ch_delay_2", "ch_output_btn_5", "control_empty_0"}) {
        QWidget* a = early.FindControl(name);
        QWidget* b = late.FindControl(name);
        ASSERT_TRUE(a && b) << name;
        EXPECT_EQ(b->font().pixelSize(), a->font().pixelSize()) << name;
    }
    EXPECT_EQ(late.FindControl("ch_strip_4")->layout()->contentsMargins(),
              early.FindControl("ch_strip_4")->layout()->contentsMargins());
    LanguageService::Instance().Clear();
}

TEST_F(MainLayout, SubLayoutNeedsItsContainerAndFile) {
    EXPECT_EQ(window.BuildSubLayout("no_such_container", "xml/channel_settings_6in_mixer.xml"),
              nullptr);
    EXPECT_EQ(window.BuildSubLayout("channel_settings", "xml/no_such_layout.xml"), nullptr);
}

TEST(MainLayoutFiles, CommittedLayoutsAreTheGeneratorsOutput) {
    struct File {
        const char* path;
        std::string expected;
    };
    const File files[] = {
        {"/skin/xml/main.ui", layoutgen::MainLayout()},
        {"/skin/xml/channel_settings_6in_mixer.xml", layoutgen::ChannelSettingsLayout()},
        {"/skin/xml/mixer.ui", layoutgen::MixerLayout()},
        {"/skin/xml/mem_wr.ui", layoutgen::MemoryLayout()},
        {"/skin/xml/auto_cal.ui", layoutgen::AutoCalLayout()},
    };
    for (const File& f : files) {
        QFile file(QStringLiteral(KAVELO_SOURCE_DIR) + f.path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << f.path;
        EXPECT_TRUE(file.readAll().toStdString() == f.expected)
            << f.path << " differs from the generator; run: cmake --build build --target layouts";
    }
}

}  // namespace
}  // namespace kavelo

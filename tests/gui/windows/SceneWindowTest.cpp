// The scene window as a user meets it: opened from the scene menu of the
// connected main window, rows chosen with the mouse or the keyboard, and the
// amplifier's stored scenes loaded, saved and deleted through it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <cstring>

#include "ModelStates.h"
#include "QualityRows.h"
#include "ToolWindowFixture.h"
#include "TracePort.h"
#include "control/ReadBack.h"
#include "control/SceneNames.h"
#include "control/SpeakerRoles.h"
#include "device/DeviceMessage.h"
#include "ui/LanguageService.h"
#include "ui/WindowMessage.h"
#include "windows/SceneWnd.h"

namespace kavelo {
namespace {

constexpr std::uint8_t kFlashClass = 0x02;
constexpr std::uint8_t kSaveScene = 0x08, kReadScene = 0x09, kDeleteScene = 0x0A, kSceneName = 0x0B;

AmpStoredScene StoredScene(const char* name, int roleOfOutput1) {
    AmpStoredScene scene;
    scene.valid = true;
    std::memcpy(scene.name.data(), name, std::strlen(name));
    scene.settings.channels[1].type = static_cast<std::uint8_t>(roleOfOutput1);
    return scene;
}

class Scenes : public test::ToolWindowFixture {
protected:
    // A silent amplifier costs a second per unanswered command, not ten.
    cli::TracePort shortWaits{amp, nullptr, 1000};

    void SetUp() override {
        ToolWindowFixture::SetUp();
        port = &shortWaits;
        amp.SetStoredScene(3, StoredScene("Club", 9));
        amp.SetStoredScene(4, StoredScene("Bass", 2));
        OpenWith(test::ConnectedDefaults());
        LanguageService::Instance().SetLanguage(QStringLiteral("en"));
    }

    // Opens the scene window from the scene menu and runs `body` on it.
    void WithScenes(const char* menuItem, const std::function<void(CSceneWnd*)>& body) {
        WithModal<CSceneWnd>([&] { ClickMenuItem("btn_scene", menuItem); },
                             [&](CSceneWnd* scenes) {
                                 // The window asked which scene runs; let the answer arrive first.
                                 ASSERT_TRUE(test::WaitUntil([&] { return SceneSettled(scenes); }));
                                 Mark();
                                 body(scenes);
                             });
    }
    bool SceneSettled(CSceneWnd* scenes) {
        if (!Controller().WaitForWorkers(0)) return false;
        QCoreApplication::sendPostedEvents();
        return !scenes->LoadingWindowOpen();
    }
    void WaitSettled(CSceneWnd* scenes) {
        ASSERT_TRUE(test::WaitUntil([&] { return SceneSettled(scenes); }));
        QApplication::processEvents();  // boxes queued by the workers
    }
    static QListWidget* List(CSceneWnd* scenes) {
        return scenes->findChild<QListWidget*>(QStringLiteral("listview"));
    }
    static QString RowText(CSceneWnd* scenes, int row) {
        auto* item = scenes->findChild<QWidget*>(QStringLiteral("listitem_%1").arg(row));
        return item ? item->findChild<QLabel*>(QStringLiteral("value"))->text() : QString("?");
    }
    static void ClickRow(CSceneWnd* scenes, int row) {
        QListWidget* list = List(scenes);
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    static void Confirm(CSceneWnd* scenes) { ClickIn(scenes, "confirm_btn"); }
    // FLASH-class commands written since the mark: subcommand and payload in hex.
    std::vector<std::string> FlashCommands() {
        std::vector<std::string> out;
        const auto reports = amp.WrittenReports();
        for (std::size_t i = mark; i < reports.size(); ++i) {
            const auto& r = reports[i];
            if (r[4] != kFlashClass) continue;
            out.push_back(ToHex(&r[5], 1) + " | " + ToHex(r.data() + 7, r[3] - 3));
        }
        return out;
    }
    std::string FirstWritten() {
        const auto reports = amp.WrittenReports();
        return reports.size() > mark ? Describe(reports[mark]) : std::string();
    }
};

TEST_F(Scenes, EachMenuItemOpensItsMode) {
    struct Row {
        const char* item;
        const char* title;
        const char* confirm;
    };
    for (const Row& r : {Row{"scene_item_load_scene", "${load_scene}", "${load}"},
                         Row{"scene_item_saveas_scene", "${save_as_scene}", "${save}"},
                         Row{"scene_item_delete_scene", "${delete_scene}", "${delete}"}}) {
        WithScenes(r.item, [&](CSceneWnd* scenes) {
            EXPECT_EQ(scenes->windowTitle(), "scenewnd");
            EXPECT_EQ(WindowImplBase::ControlTextKey(scenes->FindControl("MessageTitle")), r.title);
            EXPECT_EQ(WindowImplBase::ControlTextKey(scenes->FindControl("confirm_btn")),
                      r.confirm);
            EXPECT_EQ(WindowImplBase::ControlTextKey(scenes->FindControl("cancel_btn")), "${exit}");
            // The names read at connection, one row per scene.
            EXPECT_EQ(RowText(scenes, 2), "Club");
            EXPECT_EQ(RowText(scenes, 3), "Bass");
            EXPECT_EQ(RowText(scenes, 0), "");
            // No scene loaded since the amplifier started: nothing highlighted.
            EXPECT_EQ(scenes->HighlightedRow(), -1);
        });
    }
}

TEST_F(Scenes, ConfirmWithNoRowSelectedDoesNothing) {
    for (const char* item :
         {"scene_item_load_scene", "scene_item_saveas_scene", "scene_item_delete_scene"}) {
        WithScenes(item, [&](CSceneWnd* scenes) {
            Confirm(scenes);
            WaitSettled(scenes);
            EXPECT_TRUE(prompts.texts.isEmpty()) << item;
            EXPECT_EQ(amp.WrittenReports().size(), mark) << item;
            EXPECT_TRUE(scenes->isVisible());
        });
    }
}

TEST_F(Scenes, LoadingSceneThreeCopiesItAndReadsTheAmplifierBack) {
    Type("edit_ch_volume_2", "-9");
    ASSERT_EQ(Controller().UndoSteps(), 1u);
    WithScenes("scene_item_load_scene", [&](CSceneWnd* scenes) {
        prompts.answers = {0};
        ClickRow(scenes, 2);
        Confirm(scenes);  // declined: nothing sent, nothing highlighted
        EXPECT_EQ(prompts.texts.back(), "Load preset 3 \"Club\"?");
        WaitSettled(scenes);
        EXPECT_EQ(amp.WrittenReports().size(), mark);
        EXPECT_EQ(scenes->HighlightedRow(), -1);

        Confirm(scenes);
        WaitSettled(scenes);
        EXPECT_EQ(FirstWritten(), "02 09 BB | 03 00");
        // Then the whole read-back, which brings the scene's role onto the screen.
        EXPECT_GE(amp.WrittenReports().size(), mark + 1 + ReadBackExchangeCount());
        EXPECT_EQ(amp.CurrentSceneId(), 3);
        EXPECT_EQ(Key("ch_output_btn_1"), SpeakerRole(9).longText);
        EXPECT_EQ(Controller().CurrentScene(), 3);
        EXPECT_EQ(scenes->HighlightedRow(), 2);
        EXPECT_TRUE(Controller().Link().IsCmdQueueEnabled());
        // The settings came from the amplifier: nothing before them can be undone.
        EXPECT_EQ(Controller().UndoSteps(), 0u);
    });
}

TEST_F(Scenes, EmptySceneIsAskedForByNumber) {
    WithScenes("scene_item_load_scene", [&](CSceneWnd* scenes) {
        prompts.answers = {0};
        ClickRow(scenes, 6);
        Confirm(scenes);
        EXPECT_EQ(prompts.texts.back(), "Load preset 7?");
    });
}

TEST_F(Scenes, EnterOnARowChoosesIt) {
    WithScenes("scene_item_load_scene", [&](CSceneWnd* scenes) {
        QListWidget* list = List(scenes);
        list->setFocus();
        prompts.answers = {0};
        // The list starts on the first row (not selected); three steps down is scene 4.
        for (int i = 0; i < 3; ++i) QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        EXPECT_EQ(prompts.texts.back(), "Load preset 4 \"Bass\"?");
        // Chosen by the row itself: highlighted whatever the answer was.
        EXPECT_EQ(scenes->HighlightedRow(), 3);
        EXPECT_EQ(amp.WrittenReports().size(), mark);
    });
}

TEST_F(Scenes, SavingIntoAnEmptySlotAsksOnlyForTheName) {
    WithScenes("scene_item_saveas_scene", [&](CSceneWnd* scenes) {
        prompts.names = {QStringLiteral("Stage")};
        ClickRow(scenes, 4);
        Confirm(scenes);
        WaitSettled(scenes);
        EXPECT_EQ(prompts.texts.first(), "${scene_name}");  // no overwrite question
        EXPECT_EQ(prompts.prefilled.first(), "");
        EXPECT_EQ(FlashCommands(),
                  (std::vector<std::string>{
                      "0B | 05 10 53 74 61 67 65 00 00 00 00 00 00 00 00 00 00 00", "08 | 05 00"}));
        EXPECT_EQ(prompts.texts.back(), "${save_scene_ok}");
        EXPECT_EQ(RowText(scenes, 4), "Stage");
        const AmpStoredScene stored = amp.StoredSceneState(5);
        EXPECT_TRUE(stored.valid);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored.name.data()), 5), "Stage");
        EXPECT_EQ(Controller().CurrentScene(), 5);
    });
}

// Q typed into the band editors is stored with a preset and comes back with
// it exactly, on the screen, in the model and in the amplifier.
TEST_F(Scenes, QualityRoundTripsThroughAPreset) {
    using test::kQualityRows;
    Activate();  // leaving a band edit commits it
    Click("btn_arg_eq");  // PEQ mode: Q is editable (the question answered yes)
    for (int b = 0; b < test::kQualityRowCount; ++b)
        Type(QStringLiteral("eq_q_%1").arg(b), QLatin1String(kQualityRows[b].typed));
    const int last = test::kQualityRowCount - 1;
    ASSERT_TRUE(test::WaitUntil([&] {
        return test::HeldHundredths(amp.LiveState().settings.channels[0].bands[last]) ==
               kQualityRows[last].hundredths;
    }));
    WithScenes("scene_item_saveas_scene", [&](CSceneWnd* scenes) {
        prompts.names = {QStringLiteral("Q")};
        ClickRow(scenes, 4);
        Confirm(scenes);
        WaitSettled(scenes);
    });
    const AmpStoredScene stored = amp.StoredSceneState(5);
    ASSERT_TRUE(stored.valid);
    AmpLiveState factory = amp.LiveState();  // the live settings change meanwhile
    for (AmpEqBand& band : factory.settings.channels[0].bands)
        band.qInteger = 1, band.qFraction = 0;
    amp.SetLiveState(factory);

    WithScenes("scene_item_load_scene", [&](CSceneWnd* scenes) {
        ClickRow(scenes, 4);
        Confirm(scenes);
        WaitSettled(scenes);
    });
    for (int b = 0; b < test::kQualityRowCount; ++b) {
        const test::QualityRow& row = kQualityRows[b];
        EXPECT_EQ(test::HeldHundredths(stored.settings.channels[0].bands[b]), row.hundredths)
            << row.typed;
        EXPECT_EQ(test::HeldHundredths(amp.LiveState().settings.channels[0].bands[b]),
                  row.hundredths)
            << row.typed;
        EXPECT_EQ(Controller().Live().channels[0].bands[b].eqFactor, test::KeptQuality(row))
            << row.typed;
        EXPECT_EQ(Text(QStringLiteral("eq_q_%1").arg(b)), row.shown) << row.typed;
    }
}

TEST_F(Scenes, OverwritingAskedFirstAndTheOldNameIsOffered) {
    WithScenes("scene_item_saveas_scene", [&](CSceneWnd* scenes) {
        ClickRow(scenes, 2);
        prompts.answers = {0};
        Confirm(scenes);  // overwrite declined
        EXPECT_EQ(prompts.texts, QStringList{"Preset 3 already exists. Overwrite it?"});
        EXPECT_TRUE(prompts.prefilled.isEmpty());

        prompts.answers = {1};
        Confirm(scenes);  // accepted, then the name entry is cancelled
        EXPECT_EQ(prompts.prefilled.back(), "Club");
        WaitSettled(scenes);
        EXPECT_TRUE(FlashCommands().empty());
        EXPECT_EQ(RowText(scenes, 2), "Club");

        prompts.answers = {1};
        prompts.names = {QStringLiteral("Club2")};
        Confirm(scenes);
        WaitSettled(scenes);
        EXPECT_EQ(FlashCommands().back(), "08 | 03 00");
        EXPECT_EQ(RowText(scenes, 2), "Club2");
    });
}

TEST_F(Scenes, DuplicateNameIsRefusedAndNothingChanges) {
    WithScenes("scene_item_saveas_scene", [&](CSceneWnd* scenes) {
        prompts.names = {QStringLiteral("Bass")};
        ClickRow(scenes, 6);
        Confirm(scenes);
        WaitSettled(scenes);
        EXPECT_EQ(prompts.texts.back(),
                  "The name \"Bass\" is already used by preset 4 (\"Bass\").");
        EXPECT_TRUE(FlashCommands().empty());
        EXPECT_EQ(RowText(scenes, 6), "");
        EXPECT_FALSE(amp.StoredSceneState(7).valid);
        // The refused slot keeps what the amplifier holds: an existing scene's
        // name does not vanish from the list.
        prompts.answers = {1};
        prompts.names = {QStringLiteral("Bass")};
        ClickRow(scenes, 2);
        Confirm(scenes);
        WaitSettled(scenes);
        EXPECT_EQ(RowText(scenes, 2), "Club");
        EXPECT_EQ(SceneNameUnits(Controller().Model().names[2]), u"Club");
    });
}

TEST_F(Scenes, EmptyNameSavesAnUnnamedScene) {
    WithScenes("scene_item_saveas_scene", [&](CSceneWnd* scenes) {
        prompts.names = {QString()};
        ClickRow(scenes, 7);
        Confirm(scenes);
        WaitSettled(scenes);
        EXPECT_EQ(FlashCommands(),
                  (std::vector<std::string>{
                      "0B | 08 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "08 | 08 00"}));
        EXPECT_TRUE(amp.StoredSceneState(8).valid);
    });
}

TEST_F(Scenes, DeletingClearsTheRowBeforeTheAmplifierAnswers) {
    WithScenes("scene_item_delete_scene", [&](CSceneWnd* scenes) {
        ClickRow(scenes, 2);
        Confirm(scenes);
        EXPECT_EQ(RowText(scenes, 2), "");  // before any event was handled
        EXPECT_EQ(prompts.texts, QStringList{"Delete preset 3 \"Club\"? It cannot be restored."});
        WaitSettled(scenes);
        EXPECT_EQ(FlashCommands(), std::vector<std::string>{"0A | 03"});
        EXPECT_FALSE(amp.StoredSceneState(3).valid);
        EXPECT_FALSE(scenes->LoadingWindowOpen());
    });
}

// Deleting asks first, naming the preset; declined, nothing is cleared or sent.
TEST_F(Scenes, DeletingAsksFirstAndADeclineKeepsThePreset) {
    struct Case {
        const char* gesture;
        int row;
        const char* question;
    };
    const Case cases[] = {{"confirm", 3, "Delete preset 4 \"Bass\"? It cannot be restored."},
                          {"enter", 2, "Delete preset 3 \"Club\"? It cannot be restored."},
                          {"confirm", 6, "Delete preset 7? It cannot be restored."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question);
        const QString before =
            QString::fromStdU16String(SceneNameUnits(Controller().Model().names[c.row]));
        WithScenes("scene_item_delete_scene", [&](CSceneWnd* scenes) {
            prompts.texts.clear();
            prompts.answers = {0};
            ClickRow(scenes, c.row);
            if (QLatin1String(c.gesture) == QLatin1String("enter"))
                QTest::keyClick(List(scenes), Qt::Key_Return);
            else
                Confirm(scenes);
            EXPECT_EQ(prompts.texts, QStringList{c.question});
            EXPECT_EQ(RowText(scenes, c.row), before);
            EXPECT_FALSE(scenes->LoadingWindowOpen());
            WaitSettled(scenes);
            EXPECT_EQ(FlashCommands(), std::vector<std::string>{});
        });
        EXPECT_EQ(QString::fromStdU16String(SceneNameUnits(Controller().Model().names[c.row])),
                  before);
    }
    EXPECT_TRUE(amp.StoredSceneState(3).valid);
    EXPECT_TRUE(amp.StoredSceneState(4).valid);
}

TEST_F(Scenes, ReportedSceneNumberMovesTheHighlight) {
    WithScenes("scene_item_load_scene", [&](CSceneWnd* scenes) {
        PostWindowMessage(scenes, WM_SCENE_ID, 14, std::int64_t{6});
        QApplication::processEvents();
        EXPECT_EQ(scenes->HighlightedRow(), 5);
        EXPECT_EQ(Controller().CurrentScene(), 6);
        PostWindowMessage(scenes, WM_SCENE_ID, 14, std::int64_t{0});
        QApplication::processEvents();
        EXPECT_EQ(Controller().CurrentScene(), 0);
        EXPECT_EQ(scenes->HighlightedRow(), 5);  // as it was
    });
}

TEST_F(Scenes, HighlightFollowsTheAmplifierWhenTheWindowOpens) {
    amp.SetStoredScene(2, StoredScene("Road", 3));
    WithScenes("scene_item_load_scene", [&](CSceneWnd* scenes) {
        prompts.answers = {1};
        ClickRow(scenes, 1);
        Confirm(scenes);
        WaitSettled(scenes);
    });
    // Opened again: the amplifier's answer to "which scene" highlights scene 2.
    WithScenes("scene_item_delete_scene",
               [&](CSceneWnd* scenes) { EXPECT_EQ(scenes->HighlightedRow(), 1); });
    // Another program loaded scene 4 meanwhile: only the amplifier knows, and the next
    // opening shows it.
    AmplifierSnapshot moved = amp.Snapshot();
    moved.currentScene = 4;
    amp.Restore(moved);
    WithScenes("scene_item_load_scene",
               [&](CSceneWnd* scenes) { EXPECT_EQ(scenes->HighlightedRow(), 3); });
    EXPECT_EQ(Controller().CurrentScene(), 4);
}

TEST_F(Scenes, SilentAmplifierEndsTheLoadWithAMessage) {
    WithScenes("scene_item_load_scene", [&](CSceneWnd* scenes) {
        amp.SetSilent(true);
        ClickRow(scenes, 2);
        Confirm(scenes);
        WaitSettled(scenes);
        EXPECT_EQ(FirstWritten(), "02 09 BB | 03 00");
        EXPECT_FALSE(scenes->LoadingWindowOpen());
        EXPECT_EQ(prompts.texts.back(), "${device_connect_fail}");
        // The queue gate opens again: the window does not stay deaf to edits.
        EXPECT_TRUE(Controller().Link().IsCmdQueueEnabled());
    });
}

TEST_F(Scenes, VanishingAmplifierEndsTheLoadWithAMessage) {
    WithScenes("scene_item_load_scene", [&](CSceneWnd* scenes) {
        // Answers the scene copy, then nothing more.
        amp.UnplugAtExchange(static_cast<int>(amp.WriteCount()) + 2);
        ClickRow(scenes, 2);
        Confirm(scenes);
        WaitSettled(scenes);
        EXPECT_FALSE(scenes->LoadingWindowOpen());
        EXPECT_EQ(prompts.texts.back(), "${device_connect_fail}");
        EXPECT_TRUE(scenes->isVisible());
    });
}

}  // namespace
}  // namespace kavelo

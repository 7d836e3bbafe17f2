// Pop-up menus from the skin's menu layouts: their items, texts, images and placement.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include "control/SpeakerRoles.h"
#include "ui/LanguageService.h"
#include "ui/ProbeWindow.h"
#include "ui/WindowImplBase.h"

namespace kavelo {
namespace {

// Every item of `menu` depth first, sub-menu headings before their items.
QList<QAction*> AllItems(QMenu* menu) {
    QList<QAction*> items;
    for (QAction* item : menu->actions()) {
        items << item;
        if (item->menu()) items << AllItems(item->menu());
    }
    return items;
}

QStringList Names(const QList<QAction*>& items) {
    QStringList names;
    for (const QAction* item : items) names << item->objectName();
    return names;
}

class Menus : public test::WindowLayer {
protected:
    void SetUp() override {
        WindowLayer::SetUp();
        window.move(20, 20);  // room for the pop-ups on the screen
    }

    QMenu* Load(const char* file) {
        QMenu* menu = window.LoadMenu(QString::fromLatin1(file), &window);
        EXPECT_NE(menu, nullptr) << file;
        return menu;
    }
    // Clicks an item of an open menu where the user sees it.
    static void ClickItem(QMenu* menu, QAction* item) {
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(item).center());
    }
    // The menu commands that reached the window since the last call.
    QStringList TakeCommands() {
        QCoreApplication::sendPostedEvents(&window);
        QStringList commands;
        for (const auto& message : std::exchange(window.messages, {}))
            if (message.id == WM_MENU_COMMAND) commands << message.text;
        return commands;
    }
};

TEST_F(Menus, EveryItemIsTranslatedInEveryLanguage) {
    struct Layout {
        const char* file;
        QStringList items;
    };
    const Layout layouts[] = {
        {"xml/option_menu.xml",
         {"option_item_firmware_upgrade", "option_item_reset_default", "option_item_language_menu",
          "option_item_language_en", "option_item_language_cn", "option_item_language_ru",
          "option_item_about"}},
        {"xml/scene_menu.xml",
         {"scene_item_load_scene", "scene_item_saveas_scene", "scene_item_delete_scene",
          "scene_item_load_file", "scene_item_save_file", "scene_item_load_whole",
          "scene_item_save_whole", "scene_item_measurement_menu", "scene_item_import_filters", "scene_item_export_rew",
          "scene_item_export_apo", "scene_item_load_measurement", "scene_item_measurement_offset",
          "scene_item_clear_measurement"}},
        {"xml/advance_menu.xml",
         {"advance_item_autocal", "advance_item_mixer", "advance_item_noise_threshold",
          "advance_item_poweroff_delay", "advance_item_ktv"}},
        {"xml/output_menu.xml", {}},  // its items are checked against the role tables
    };
    for (const Layout& layout : layouts) {
        LanguageService::Instance().SetLanguage("en");
        QMenu* menu = Load(layout.file);
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> items = AllItems(menu);
        if (!layout.items.isEmpty()) {
            EXPECT_EQ(Names(items), layout.items) << layout.file;
        }
        QStringList english;
        for (const QAction* item : items) english << item->text();
        for (const char* language : {"en", "cn_zh", "ru"}) {
            LanguageService::Instance().SetLanguage(language);
            for (int i = 0; i < items.size(); ++i) {
                const QString text = items[i]->text();
                const std::string where =
                    std::string(layout.file) + " " + items[i]->objectName().toStdString();
                EXPECT_FALSE(text.trimmed().isEmpty()) << where << " " << language;
                EXPECT_FALSE(text.contains(QLatin1String("${"))) << where << " " << language;
                if (qstrcmp(language, "en") != 0) {
                    EXPECT_NE(text, english[i]) << where << " untranslated in " << language;
                }
            }
        }
    }
}

TEST_F(Menus, OutputMenuHoldsEveryRoleOnceUnderItsHeadings) {
    QMenu* menu = Load("xml/output_menu.xml");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Names(menu->actions()),
              QStringList({"output_item_empty", "output_menu_front", "output_menu_rear",
                           "output_menu_center", "output_menu_subwoof"}));
    // Headings (indexes into the heading table) above each position group's roles.
    const QList<int> headingsOfGroup[6] = {{0, 1}, {0, 2}, {3, 4}, {3, 5}, {6}, {7}};

    // The heading path of every plain item.
    QHash<QString, QList<QAction*>> pathOf;
    QHash<QString, QAction*> itemOf;
    std::function<void(QMenu*, QList<QAction*>)> walk = [&](QMenu* m, QList<QAction*> path) {
        for (QAction* item : m->actions()) {
            if (item->menu()) {
                walk(item->menu(), path + QList<QAction*>{item});
                continue;
            }
            EXPECT_FALSE(itemOf.contains(item->objectName()))
                << item->objectName().toStdString() << " appears twice";
            itemOf.insert(item->objectName(), item);
            pathOf.insert(item->objectName(), path);
        }
    };
    walk(menu, {});
    EXPECT_EQ(itemOf.size(), 25);  // role 0 and the 24 speaker roles, nothing else

    for (const char* language : {"en", "cn_zh", "ru"}) {
        LanguageService::Instance().SetLanguage(language);
        const SpeakerRoleInfo& empty = SpeakerRole(0);
        ASSERT_TRUE(itemOf.contains(empty.menuItem));
        EXPECT_TRUE(pathOf[empty.menuItem].isEmpty());
        EXPECT_EQ(itemOf[empty.menuItem]->text(), GetText(empty.shortText));
        for (int role = 1; role <= 24; ++role) {
            const SpeakerRoleInfo& info = SpeakerRole(role);
            ASSERT_TRUE(itemOf.contains(info.menuItem)) << info.menuItem;
            EXPECT_EQ(itemOf[info.menuItem]->text(), GetText(info.shortText)) << info.menuItem;
            const QList<int>& expected = headingsOfGroup[RolePositionGroup(role)];
            const QList<QAction*>& path = pathOf[info.menuItem];
            ASSERT_EQ(path.size(), expected.size()) << info.menuItem;
            for (int i = 0; i < path.size(); ++i) {
                const MenuHeading& heading = OutputMenuHeading(expected[i]);
                EXPECT_EQ(path[i]->objectName(), heading.menuItem) << info.menuItem;
                EXPECT_EQ(path[i]->text(), GetText(heading.shortText)) << heading.menuItem;
            }
        }
    }
}

TEST_F(Menus, FindsNestedItemsAndPostsOnlyForPlainItems) {
    QMenu* menu = Load("xml/option_menu.xml");
    ASSERT_NE(menu, nullptr);
    QAction* heading = WindowImplBase::FindMenuItem(menu, "option_item_language_menu");
    QAction* russian = WindowImplBase::FindMenuItem(menu, "option_item_language_ru");
    ASSERT_NE(heading, nullptr);
    ASSERT_NE(russian, nullptr);
    ASSERT_NE(heading->menu(), nullptr);
    EXPECT_TRUE(heading->menu()->actions().contains(russian));
    EXPECT_EQ(WindowImplBase::FindMenuItem(menu, "option_item_language"), nullptr);
    EXPECT_EQ(WindowImplBase::FindMenuItem(nullptr, "option_item_about"), nullptr);

    auto* anchor = new QPushButton(QStringLiteral("menu"), &window);
    anchor->setGeometry(10, 10, 80, 24);
    anchor->show();
    window.PopupMenu(menu, anchor, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    ClickItem(menu, heading);  // opens the languages, posts nothing
    QTRY_VERIFY_WITH_TIMEOUT(heading->menu()->isVisible(), 5000);
    ClickItem(heading->menu(), russian);
    EXPECT_EQ(TakeCommands(), QStringList({"option_item_language_ru"}));
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(Menus, PopupSitsBelowTheButtonAtEitherEdge) {
    QMenu* menu = Load("xml/scene_menu.xml");
    ASSERT_NE(menu, nullptr);
    auto* anchor = new QPushButton(QStringLiteral("menu"), &window);
    anchor->setGeometry(300, 40, 80, 24);
    anchor->show();
    const QRect button(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    for (const bool alignRight : {false, true}) {
        window.PopupMenu(menu, anchor, alignRight);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        const QRect at = menu->geometry();
        EXPECT_EQ(at.top(), button.bottom() + 1) << alignRight;
        const int edge = alignRight ? at.right() : at.left();
        EXPECT_EQ(edge, alignRight ? button.right() : button.left()) << alignRight;
        EXPECT_TRUE(TakeCommands().isEmpty());  // showing is not choosing
        menu->hide();
    }
}

TEST_F(Menus, ItemImageIsShownAndRemoved) {
    QMenu* menu = Load("xml/output_menu.xml");
    ASSERT_NE(menu, nullptr);
    QAction* item = WindowImplBase::FindMenuItem(menu, "output_item_empty");
    ASSERT_NE(item, nullptr);
    menu->popup(window.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    const QImage plain = menu->grab().toImage();

    WindowImplBase::SetMenuItemImage(item, "right.png");
    EXPECT_EQ(WindowImplBase::MenuItemImage(item), "right.png");
    const QImage check = QPixmap(SkinRoot() + "/image/right.png").toImage();
    ASSERT_FALSE(check.isNull());
    const QImage shown = item->icon().pixmap(check.size()).toImage();
    EXPECT_EQ(shown, check);
    EXPECT_TRUE(item->isIconVisibleInMenu());
    EXPECT_NE(menu->grab().toImage(), plain);  // the mark is drawn

    WindowImplBase::SetMenuItemImage(item, "");
    EXPECT_TRUE(item->icon().isNull());
    EXPECT_TRUE(WindowImplBase::MenuItemImage(item).isEmpty());
    EXPECT_EQ(menu->grab().toImage(), plain);

    WindowImplBase::SetMenuItemImage(item, "no_such_image.png");
    EXPECT_TRUE(item->icon().isNull());
}

TEST_F(Menus, DisabledItemIgnoresClicksAndHiddenItemTakesNoRoom) {
    QMenu* menu = Load("xml/advance_menu.xml");
    ASSERT_NE(menu, nullptr);
    const int fullHeight = menu->sizeHint().height();
    QAction* autocal = WindowImplBase::FindMenuItem(menu, "advance_item_autocal");
    QAction* mixer = WindowImplBase::FindMenuItem(menu, "advance_item_mixer");
    QAction* ktv = WindowImplBase::FindMenuItem(menu, "advance_item_ktv");
    ASSERT_TRUE(autocal && mixer && ktv);
    autocal->setEnabled(false);
    ktv->setVisible(false);
    menu->popup(window.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    EXPECT_LT(menu->height(), fullHeight);
    EXPECT_TRUE(menu->actionGeometry(ktv).isEmpty());
    for (QAction* shown : {autocal, mixer})
        EXPECT_NE(menu->actionAt(menu->actionGeometry(shown).center()), ktv);

    ClickItem(menu, autocal);
    EXPECT_TRUE(TakeCommands().isEmpty());
    autocal->trigger();  // not even from code
    EXPECT_TRUE(TakeCommands().isEmpty());
    if (!menu->isVisible()) menu->popup(window.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    ClickItem(menu, mixer);
    EXPECT_EQ(TakeCommands(), QStringList({"advance_item_mixer"}));
}

TEST_F(Menus, LanguageSwitchSurvivesADeletedMenu) {
    QMenu* gone = Load("xml/scene_menu.xml");
    QMenu* kept = Load("xml/option_menu.xml");
    ASSERT_TRUE(gone && kept);
    delete gone;  // as the owner does before opening the next menu of that kind
    LanguageService::Instance().SetLanguage("ru");
    EXPECT_EQ(WindowImplBase::FindMenuItem(kept, "option_item_language_menu")->text(),
              QString::fromUtf8("Язык"));
    EXPECT_EQ(WindowImplBase::FindMenuItem(kept, "option_item_about")->text(),
              QString::fromUtf8("О программе"));
}

TEST_F(Menus, MenuTakesTheWindowsScale) {
    window.ApplyDpi(192);
    QMenu* menu = Load("xml/option_menu.xml");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->font().pixelSize(), 26);
    EXPECT_EQ(
        WindowImplBase::FindMenuItem(menu, "option_item_language_menu")->menu()->font().pixelSize(),
        26);
}

}  // namespace
}  // namespace kavelo

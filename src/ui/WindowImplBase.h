#pragma once

#include <QDialog>
#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QString>

#include "ui/WindowMessage.h"

class QAbstractButton;
class QSizeGrip;
class QTimer;

namespace kavelo {

// One notification of a control: the type text ("click", "selectchanged", ...), the
// control and an optional number (a band index, a wheel step count).
struct TNotifyUI {
    QString sType;
    QWidget* pSender = nullptr;
    int wParam = 0;
};

// Path inside the skin of the layout that the resource index maps `layoutId` to;
// empty when the index or the id is missing.
QString SkinLayoutPath(const QString& layoutId);
// Root of the compiled-in skin (":/skin").
QString SkinRoot();

// The window base every window derives from: loads its layout by id, feeds every
// notification of its controls to Notify, resolves language keys, and offers modal
// runs, private messages, timers and menus.
class WindowImplBase : public QDialog {
    Q_OBJECT
public:
    explicit WindowImplBase(QWidget* owner = nullptr);
    ~WindowImplBase() override;

    virtual QString GetSkinFile() const = 0;
    virtual QString GetWindowClassName() const = 0;

    // Loads the layout and initialises the window; returns false when the layout is
    // missing or broken (the window stays empty and the failure is logged).
    bool Create(const QString& title);
    // Centres on the owner (or the screen) and runs modally; returns the Close result,
    // 0 when the window was closed any other way or the loop was ended by a quit.
    int ShowModal();
    void Close(int result);
    void CenterWindow();

    template <class T>
    T* FindControl(const QString& name) const {
        return findChild<T*>(name);
    }
    QWidget* FindControl(const QString& name) const { return findChild<QWidget*>(name); }

    // Builds a layout file of the skin ("xml/...") into the named container of this
    // window, with this window's custom-control factory; its controls notify like the
    // window's own. Returns the new root, or nullptr (logged) when the container or the
    // file is missing or the file is broken.
    QWidget* BuildSubLayout(const QString& containerName, const QString& file);

    // Text setters that keep language keys and re-resolve them on a language switch.
    static void SetControlText(QWidget* control, const QString& text);
    static QString ControlTextKey(QWidget* control);
    void SetWindowTextKey(const QString& text);

    // Selection from code: notifies like a user change unless `notify` is false.
    // A selectable button ("SButton") keeps a selected flag that only its owner sets
    // (a click leaves it alone, and setting it never notifies); for it these two work
    // on that flag, for every other button on the check state.
    static void SetSelected(QAbstractButton* option, bool selected, bool notify = true);
    static bool IsSelected(const QAbstractButton* option);
    static void SelectItem(QWidget* comboOrList, int index, bool notify = true);
    // A click from code: sends "click".
    static void Activate(QAbstractButton* button);
    // An edit holding typing that was not committed yet shows the text it was
    // last given again; false (nothing done) when `control` is no such edit.
    static bool RevertTyping(QWidget* control);

    // Delivers a notification synchronously to Notify.
    void SendNotify(QWidget* sender, const QString& type, int wParam = 0);

    // Timers keyed by id; OnTimer receives them. Setting an existing id restarts it.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    bool HasTimer(int id) const;

    // Builds a menu from a menu layout ("xml/..._menu.xml"), owned by this window until
    // someone deletes it; an element with children becomes a sub-menu under a heading of
    // that name. Clicking an item posts WM_MENU_COMMAND with the item name to `receiver`.
    QMenu* LoadMenu(const QString& menuFile, QObject* receiver);
    // The item (or sub-menu heading) of that name anywhere in `menu`; nullptr when none.
    static QAction* FindMenuItem(QMenu* menu, const QString& name);
    // Shows a skin image ("right.png" from the skin's image folder) on the item; an empty
    // name removes it.
    static void SetMenuItemImage(QAction* item, const QString& image);
    static QString MenuItemImage(const QAction* item);
    // Opens `menu` without blocking, its top edge on the button's bottom edge; left edges
    // aligned, or right edges with `alignRight`.
    void PopupMenu(QMenu* menu, QWidget* button, bool alignRight);

    // Applies a DPI value (77, 96, 120, 144, 192) to fonts and the window size.
    void ApplyDpi(int dpi);
    int ScalePercent() const { return mScalePercent; }
    // The root layout's size as loaded, before any scaling; invalid before Create.
    QSize LayoutSize() const { return mLayoutSize; }

    static int UserData(QWidget* control);

protected:
    // Where the layout comes from; the skin's index by default.
    virtual QString GetLayoutPath() const { return SkinLayoutPath(GetSkinFile()); }
    virtual void InitWindow() {}
    virtual void Notify(TNotifyUI& msg);
    virtual QWidget* CreateCustomControl(const QString& className, QWidget* parent);
    // Private messages; return true when handled.
    virtual bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                                     const QString& text);
    virtual void OnTimer(int id) { (void)id; }
    virtual bool IsMainWindow() const { return false; }
    // An edit was committed because a control that takes no focus was pressed.
    virtual void TypingCommittedByPress() {}

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    friend class SkinUiLoader;
    void HookControl(QWidget* control);
    // A press on a control that takes no focus commits the edit being typed in
    // first, as leaving it would.
    void CommitTypingBeforePress(QWidget* pressed);
    QWidget* LoadLayoutFile(const QString& path, QWidget* parent);
    void ScaleFonts();
    void ScaleGeometry();
    void ReResolveTexts();
    QString ResolveMenuFile(const QString& file) const;

    QWidget* mRoot = nullptr;
    QSize mLayoutSize;
    int mScalePercent = 100;
    bool mDpiApplied = false;
    QPoint mDragOffset;
    QSizeGrip* mSizeGrip = nullptr;
    QHash<int, QTimer*> mTimers;
    // Their owners may delete them at any time.
    QList<QPointer<QMenu>> mMenus;
};

// Creates `window` (taken over) under `title`, runs it modally and deletes it;
// returns its result, 0 when its layout could not be loaded.
int RunModalWindow(WindowImplBase* window, const QString& title);

}  // namespace kavelo

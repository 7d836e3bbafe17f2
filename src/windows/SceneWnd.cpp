#include "windows/SceneWnd.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QStyle>

#include "base/Log.h"
#include "control/ProfileTransfer.h"
#include "control/SceneNames.h"
#include "controller/ControlAccess.h"
#include "controller/MainMessages.h"
#include "ui/LanguageService.h"
#include "ui/Prompts.h"
#include "ui/ScreenDpi.h"
#include "ui/WindowMessage.h"

namespace kavelo {

namespace {

constexpr int kHeaderHeight = 25;
constexpr int kRowHeight = 34;

struct ModeTexts {
    const char* title;
    const char* confirm;
};

ModeTexts TextsOf(SceneWindowMode mode) {
    switch (mode) {
        case SceneWindowMode::Save:
            return {"${save_as_scene}", "${save}"};
        case SceneWindowMode::Delete:
            return {"${delete_scene}", "${delete}"};
        case SceneWindowMode::Load:
        default:
            return {"${load_scene}", "${load}"};
    }
}

QString NameText(const SceneName& name) { return QString::fromStdU16String(SceneNameUnits(name)); }

}  // namespace

CSceneWnd::CSceneWnd(QWidget* owner, EqualizerManager& controller, SceneWindowMode mode)
    : WindowImplBase(owner), mController(controller), mMode(mode) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

void CSceneWnd::InitWindow() {
    ApplyDpi(StartupDpiFromScreens());
    if (QWidget* header = FindControl(QStringLiteral("list_header")))
        header->setFixedHeight(kHeaderHeight * ScalePercent() / 100);
    mList = FindControl<QListWidget>(QStringLiteral("listview"));
    if (mList) {
        for (int i = 0; i < kRows; ++i) {
            auto* item = new QListWidgetItem(mList);
            auto* row = new QFrame;
            row->setObjectName(QStringLiteral("listitem_%1").arg(i));
            row->setProperty("role", QStringLiteral("scenerow"));
            auto* layout = new QHBoxLayout(row);
            layout->setContentsMargins(10, 0, 10, 0);
            layout->setSpacing(12);
            auto* number = new QLabel(QString::number(i + 1), row);
            number->setProperty("role", QStringLiteral("caption"));
            number->setMinimumWidth(36 * ScalePercent() / 100);
            auto* value = new QLabel(row);
            value->setObjectName(QStringLiteral("value"));
            value->setProperty("role", QStringLiteral("value"));
            layout->addWidget(number);
            layout->addWidget(value, 1);
            item->setSizeHint(QSize(0, kRowHeight * ScalePercent() / 100));
            mList->setItemWidget(item, row);
            mRows[i] = row;
            mValues[i] = value;
        }
        mList->setFocus();
    }
    if (QWidget* close = FindControl(QStringLiteral("closebtn")))
        close->setFocusPolicy(Qt::NoFocus);

    if (mController.CurrentScene() > 0) UpdateCurrentScene(mController.CurrentScene() - 1);
    mController.InstallSceneReceiver(this);
    mController.RequestSceneId();
    const ModeTexts texts = TextsOf(mMode);
    SetControlText(FindControl(QStringLiteral("MessageTitle")), QLatin1String(texts.title));
    SetControlText(FindControl(QStringLiteral("confirm_btn")), QLatin1String(texts.confirm));
    SetControlText(FindControl(QStringLiteral("cancel_btn")), QStringLiteral("${exit}"));
    FillList();
}

void CSceneWnd::FillList() {
    const SceneNameTable& names = mController.Model().names;
    for (int i = 0; i < kRows; ++i) {
        if (mValues[i]) mValues[i]->setText(NameText(names[i]));
    }
}

void CSceneWnd::UpdateCurrentScene(int row) {
    LogPrintA("UpdateCurrentScene %d\n", row);
    for (int i = 0; i < kRows; ++i) {
        QFrame* frame = mRows[i];
        if (!frame) continue;
        frame->setProperty("current", i == row);
        // A changed property takes effect in the style sheet only after a re-polish.
        frame->style()->unpolish(frame);
        frame->style()->polish(frame);
        for (QLabel* label : frame->findChildren<QLabel*>()) {
            label->style()->unpolish(label);
            label->style()->polish(label);
        }
    }
}

int CSceneWnd::HighlightedRow() const {
    for (int i = 0; i < kRows; ++i) {
        if (mRows[i] && mRows[i]->property("current").toBool()) return i;
    }
    return -1;
}

void CSceneWnd::Notify(TNotifyUI& msg) {
    const QString name = msg.pSender ? msg.pSender->objectName() : QString();
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("confirm_btn")) {
            LogPrintA("Click confirm_btn\n");
            const QListWidgetItem* item = mList ? mList->currentItem() : nullptr;
            Choose(item && item->isSelected() ? mList->row(item) : -1, false);
            return;
        }
        if (name == QLatin1String("cancel_btn")) {
            LogPrintA("Click cancel_btn\n");
            return Close(0);
        }
        if (name == QLatin1String("closebtn")) return Close(0);
    }
    if (msg.sType == QLatin1String("itemactivate") && msg.pSender == mList) {
        Choose(msg.wParam, true);
        return;
    }
    WindowImplBase::Notify(msg);
}

void CSceneWnd::Choose(int row, bool activated) {
    const bool inRange = row >= 0 && row < kRows;
    switch (mMode) {
        case SceneWindowMode::Save:
            LogPrintA("SENCE_SAVE id = %d\n", row);
            if (inRange) SaveSceneSlot(row + 1);
            if (activated) UpdateCurrentScene(row);
            return;
        case SceneWindowMode::Load: {
            LogPrintA("SENCE_LOAD id = %d\n", row);
            const bool accepted = inRange && LoadSceneSlot(row + 1);
            if (accepted || activated) UpdateCurrentScene(row);
            return;
        }
        case SceneWindowMode::Delete:
            LogPrintA("SENCE_DELETE id = %d\n", row);
            if (inRange) DeleteSceneSlot(row + 1);
            return;
    }
}

void CSceneWnd::PostToSelf(int id) { PostWindowMessage(this, id); }

QString CSceneWnd::SceneQuestion(const QString& named, const QString& unnamed, int n) const {
    const SceneName& name = mController.Model().names[n - 1];
    return SceneNameEmpty(name) ? FormatText(unnamed, {n}) : FormatText(named, {n, NameText(name)});
}

bool CSceneWnd::LoadSceneSlot(int n) {
    LogPrintA("LoadSence\n");
    const QString question = SceneQuestion(QStringLiteral("${load_scene_tips1}"),
                                           QStringLiteral("${load_scene_tips2}"), n);
    if (ShowMessage(this, QStringLiteral("${tips}"), question) != 1) return false;
    PostToSelf(WM_SHOW_LOADING);
    mController.SetCurrentScene(n);
    mController.InstallSceneReceiver(this);
    mController.LoadSenceThread();
    return true;
}

void CSceneWnd::SaveSceneSlot(int n) {
    LogPrintA("SaveSence\n");
    mController.SetPendingSceneName({});
    SceneNameTable& names = mController.Model().names;
    const SceneName old = names[n - 1];
    if (!SceneNameEmpty(old) &&
        ShowMessage(this, QStringLiteral("${tips}"),
                    FormatText(QStringLiteral("${save_scene_overwrite}"), {n})) != 1)
        return;
    QString typed = NameText(old);
    if (ShowNameEntry(this, QStringLiteral("${save_as_scene}"), QStringLiteral("${scene_name}"),
                      typed) != 1)
        return;
    const SceneName entered = SceneNameFromUnits(typed.toStdU16String());
    const int same = FindSameSceneName(names, n - 1, entered);
    if (same >= 0) {
        controls::ConfirmBox(this,
                             FormatText(QStringLiteral("${same_name_tips}"),
                                        {NameText(entered), same + 1, NameText(names[same])}));
        // Nothing was saved, so the slot keeps the name the amplifier still has.
        return;
    }
    names[n - 1] = entered;
    mController.SetPendingSceneName(SceneNameToDeviceBytes(entered));
    if (mValues[n - 1]) mValues[n - 1]->setText(NameText(entered));
    PostToSelf(WM_SHOW_LOADING);
    mController.SetCurrentScene(n);
    mController.InstallSceneReceiver(this);
    mController.SaveSenceThread();
}

void CSceneWnd::DeleteSceneSlot(int n) {
    LogPrintA("DeleteSence\n");
    // A stored scene is gone for good after one click or Enter on the wrong row, so the
    // user is asked first, with the scene named.
    const QString question = SceneQuestion(QStringLiteral("${delete_scene_tips1}"),
                                           QStringLiteral("${delete_scene_tips2}"), n);
    if (ShowMessage(this, QStringLiteral("${tips}"), question) != 1) {
        LogPrintA("delete of scene %d declined\n", n);
        return;
    }
    PostToSelf(WM_SHOW_LOADING);
    mController.SetCurrentScene(n);
    mController.InstallSceneReceiver(this);
    mController.Model().names[n - 1] = SceneName{};
    FillList();
    mController.DeleteSenceThread();
}

bool CSceneWnd::HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                                    const QString& text) {
    switch (id) {
        case WM_READ_SCENE_VALUE:
            PostToSelf(WM_CLOSE_LOADING);
            controls::ConfirmBox(this, QStringLiteral("${save_scene_ok}"));
            return true;
        case WM_SCENE_DELETED:
            PostToSelf(WM_CLOSE_LOADING);
            return true;
        case WM_SCENE_ID: {
            const auto* scene = std::get_if<std::int64_t>(&lParam);
            if (!scene) return true;
            mController.SetCurrentScene(static_cast<int>(*scene));
            LogPrintA("FLASH_SCENE_ID/mSceneId %d\n", static_cast<int>(*scene));
            if (*scene > 0) UpdateCurrentScene(static_cast<int>(*scene) - 1);
            return true;
        }
        case WM_SHOW_LOADING:
            mLoading.Show();
            return true;
        case WM_CLOSE_LOADING:
            mLoading.Close();
            return true;
        default:
            return WindowImplBase::HandleCustomMessage(id, wParam, lParam, text);
    }
}

int ShowSceneWindow(EqualizerManager& controller, QWidget* owner, SceneWindowMode mode) {
    return RunModalWindow(new CSceneWnd(owner, controller, mode), QStringLiteral("scenewnd"));
}

}  // namespace kavelo

#pragma once

#include <QString>
#include <array>

#include "controller/EqualizerManager.h"
#include "ui/LoadingWnd.h"
#include "ui/WindowImplBase.h"

class QFrame;
class QLabel;
class QListWidget;

namespace kavelo {

// The list of the amplifier's ten stored scenes, in one of three modes: load
// a scene into the live settings, save the live settings as a scene under a
// name, or delete a scene. Row i stands for scene i + 1; the scene the
// amplifier runs is highlighted.
class CSceneWnd : public WindowImplBase {
    Q_OBJECT
public:
    static constexpr int kRows = 10;

    // `controller` outlives the window.
    CSceneWnd(QWidget* owner, EqualizerManager& controller, SceneWindowMode mode);

    QString GetSkinFile() const override { return QStringLiteral("XML_SENCE_PROFILE"); }
    QString GetWindowClassName() const override { return QStringLiteral("MsgWnd"); }

    // Highlights row `row` alone; a row outside 0 ... 9 leaves none highlighted.
    void UpdateCurrentScene(int row);
    int HighlightedRow() const;
    bool LoadingWindowOpen() const { return mLoading.IsOpen(); }

    // The three operations on scene n (1 ... 10), each after its own questions.
    // Load returns whether it was started.
    bool LoadSceneSlot(int n);
    void SaveSceneSlot(int n);
    void DeleteSceneSlot(int n);
    // The question about scene n: `named` with its number and name ("%d", "%s"), or
    // `unnamed` with its number when the slot has no name.
    QString SceneQuestion(const QString& named, const QString& unnamed, int n) const;

protected:
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                             const QString& text) override;

private:
    void FillList();
    // A row was chosen by the confirm button (activated false) or by a
    // double-click or Enter on it.
    void Choose(int row, bool activated);
    void PostToSelf(int id);

    EqualizerManager& mController;
    SceneWindowMode mMode;
    LoadingSlot mLoading{this};
    QListWidget* mList = nullptr;
    std::array<QFrame*, kRows> mRows{};
    std::array<QLabel*, kRows> mValues{};
};

// Runs the scene window modally over `owner` and returns its result.
int ShowSceneWindow(EqualizerManager& controller, QWidget* owner, SceneWindowMode mode);

}  // namespace kavelo

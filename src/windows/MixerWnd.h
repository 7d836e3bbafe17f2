#pragma once

#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "control/MixerGrid.h"
#include "ui/WindowImplBase.h"

class QAbstractButton;
class QAbstractSlider;
class QLineEdit;

namespace kavelo {

class DeviceLink;
class EqualizerManager;

// The input mixer: for the source selected when it opens, which input channels feed
// each output and at what level. Every edit goes straight into the live state and to
// the amplifier; closing only closes.
class CMixerWnd : public WindowImplBase {
    Q_OBJECT
public:
    // `live` and `link` are the controller's and outlive the window.
    CMixerWnd(QWidget* owner, DspState& live, DeviceLink& link, int source);
    // Called after each of the user's actions in the window (an edit's undo step).
    void SetEditRecorder(std::function<void()> recorder) { mRecordEdit = std::move(recorder); }

    QString GetSkinFile() const override { return QStringLiteral("XML_MIXER"); }
    QString GetWindowClassName() const override { return QStringLiteral("MixerWnd"); }

    int Source() const { return mGrid.Source(); }
    // Set once the controls are bound; notifications before that change nothing.
    bool Ready() const { return mReady; }

    void done(int result) override;

protected:
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;

private:
    struct CellControls {
        QAbstractButton* enable = nullptr;
        QAbstractButton* phase = nullptr;
        QAbstractSlider* volume = nullptr;
        QLineEdit* edit = nullptr;
    };

    void BindControls();
    void BindCrossSource(int input);
    void ShowRowTitles();
    // The cell a control belongs to, from its name ("<prefix><output>_<input>").
    std::optional<MixerCell> CellOf(const QString& name, const char* prefix) const;
    void OnEnableChanged(MixerCell cell);
    void SetInputTrimSlider(MixerCell cell);
    // Commits the edit's text; `takeFocus` keeps the focus in the edit afterwards (not
    // when the focus is leaving it).
    void SetInputTrimEdit(MixerCell cell, bool takeFocus);
    void StepLevel(MixerCell cell, bool up);
    void MoveFocus(MixerCell cell, bool right);
    void Apply(MixerCell cell, const MixerEdit& edit);
    void Show(MixerCell cell, const MixerCellView& view);
    void FocusEdit(MixerCell cell);
    CellControls& Controls(MixerCell cell) { return mCells[cell.output][cell.input]; }

    MixerGrid mGrid;
    DeviceLink& mLink;
    std::function<void()> mRecordEdit;
    bool mReady = false;
    // Cross-source mixing is not offered; its controls stay hidden.
    bool mHasMixerSource = false;
    std::array<std::array<CellControls, kMixerRows>, kOutputChannels> mCells{};
};

// Opens the mixer modally over `owner` for the controller's current source. While it
// is open the controller's hook closes it (result 1) when a device connects or
// disconnects.
void ShowMixerWindow(EqualizerManager& controller, QWidget* owner);

}  // namespace kavelo

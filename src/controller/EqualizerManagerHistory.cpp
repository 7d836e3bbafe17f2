// EqualizerManager: undo and redo of the user's edits, and the A/B
// comparison of two tunings. Both move the amplifier by sending only what
// differs between the tuning it holds and the one to go to.
#include <QAbstractButton>
#include <QGuiApplication>

#include "base/Log.h"
#include "control/DspOperations.h"
#include "control/StateDiff.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"

namespace kavelo {

using namespace controls;

void EqualizerManager::RecordUserEdit(bool evenWhilePressed) {
    // A drag (slider or curve) is one step: it closes when the button is let go.
    if (!evenWhilePressed && QGuiApplication::mouseButtons() != Qt::NoButton) return;
    const bool changed = IsConnected() && !DiffStates(mCheckpoint, mModel.live).empty();
    if (changed) mHistory.Push(mCheckpoint);
    mCheckpoint = mModel.live;
    if (changed) ShowHistoryButtons();
}

void EqualizerManager::ResetEditHistory() {
    mHistory.Clear();
    mCheckpoint = mModel.live;
    ShowHistoryButtons();
}

void EqualizerManager::AbsorbReportedSettings() {
    // A value the amplifier reported is not the user's edit: nothing to undo.
    mCheckpoint = WithSettingsOf(mCheckpoint, mModel.live);
}

void EqualizerManager::Undo() {
    if (!IsConnected()) return;
    RecordUserEdit();
    if (std::optional<DspState> target = mHistory.Undo(mModel.live)) GoToTuning(*target, "undo");
}

void EqualizerManager::Redo() {
    if (!IsConnected()) return;
    RecordUserEdit();
    if (std::optional<DspState> target = mHistory.Redo(mModel.live)) GoToTuning(*target, "redo");
}

void EqualizerManager::SwitchAbSlot(int slot) {
    if (slot < 0 || slot >= static_cast<int>(mAbSlots.size()) || slot == mAbActive) return;
    if (!IsConnected()) return;
    RecordUserEdit();
    mAbSlots[mAbActive] = {true, mModel.live, mHistory};
    // A slot never used starts as a copy of the tuning being left.
    AbSlot& next = mAbSlots[slot];
    if (!next.filled) next = {true, mModel.live, EditHistory{}};
    mAbActive = slot;
    mHistory = next.history;
    GoToTuning(next.state, slot == 0 ? "switch to A" : "switch to B");
}

void EqualizerManager::CopyAbSlot() {
    RecordUserEdit();
    mAbSlots[1 - mAbActive] = {true, mModel.live, EditHistory{}};
    LogPrintA("A/B: tuning %c copied to %c\n", mAbActive == 0 ? 'A' : 'B',
              mAbActive == 0 ? 'B' : 'A');
}

void EqualizerManager::GoToTuning(const DspState& tuning, const char* why) {
    // A step may hold a Q as an amplifier reported it; what is sent is in tenths.
    DspState target = tuning;
    QuantiseEqFactors(target);
    const DspCommands commands = DiffStates(mModel.live, target);
    LogPrintA("%s: %d commands\n", why, static_cast<int>(commands.size()));
    mModel.live = WithSettingsOf(mModel.live, target);
    Send(commands);
    mCheckpoint = mModel.live;
    ApplyStateToControls();
    ShowHistoryButtons();
}

void EqualizerManager::ShowHistoryButtons() {
    const bool connected = IsConnected();
    SetEnabled(mUi.undo, connected && mHistory.UndoCount() > 0);
    SetEnabled(mUi.redo, connected && mHistory.RedoCount() > 0);
    WindowImplBase::SetSelected(mUi.abA, mAbActive == 0, false);
    WindowImplBase::SetSelected(mUi.abB, mAbActive == 1, false);
    SetText(mUi.abCopy, mAbActive == 0 ? QStringLiteral("${ui_ab_copy_to_b}")
                                       : QStringLiteral("${ui_ab_copy_to_a}"));
    for (QAbstractButton* b : {mUi.abA, mUi.abB, mUi.abCopy}) SetEnabled(b, connected);
}

}  // namespace kavelo

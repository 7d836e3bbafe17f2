#include "control/EditHistory.h"

namespace kavelo {

void EditHistory::Keep(std::deque<DspState>& steps, const DspState& state) {
    if (mDepth == 0) return;
    steps.push_back(state);
    while (steps.size() > mDepth) steps.pop_front();
}

void EditHistory::Push(const DspState& before) {
    Keep(mUndo, before);
    mRedo.clear();
}

std::optional<DspState> EditHistory::Undo(const DspState& current) {
    if (mUndo.empty()) return std::nullopt;
    DspState target = mUndo.back();
    mUndo.pop_back();
    Keep(mRedo, current);
    return target;
}

std::optional<DspState> EditHistory::Redo(const DspState& current) {
    if (mRedo.empty()) return std::nullopt;
    DspState target = mRedo.back();
    mRedo.pop_back();
    Keep(mUndo, current);
    return target;
}

void EditHistory::Clear() {
    mUndo.clear();
    mRedo.clear();
}

}  // namespace kavelo

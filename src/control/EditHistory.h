#pragma once

#include <cstddef>
#include <deque>
#include <optional>

#include "control/DspRecords.h"

namespace kavelo {

// Undo and redo over whole tunings. Each step keeps one tuning (the one on
// the other side of the step), so a step costs one state whatever the edit
// was, and the history holds at most `depth` steps each way (the oldest go).
class EditHistory {
public:
    static constexpr std::size_t kDefaultDepth = 200;
    EditHistory() = default;
    explicit EditHistory(std::size_t depth) : mDepth(depth) {}

    // An edit left `before` behind; what could be redone is gone.
    void Push(const DspState& before);
    // The tuning to go back (forward) to, or none; `current` becomes the step
    // that returns here.
    std::optional<DspState> Undo(const DspState& current);
    std::optional<DspState> Redo(const DspState& current);
    void Clear();

    std::size_t UndoCount() const { return mUndo.size(); }
    std::size_t RedoCount() const { return mRedo.size(); }

private:
    void Keep(std::deque<DspState>& steps, const DspState& state);

    std::size_t mDepth = kDefaultDepth;
    std::deque<DspState> mUndo;
    std::deque<DspState> mRedo;
};

}  // namespace kavelo

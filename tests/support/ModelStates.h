#pragma once

#include "control/DspOperations.h"
#include "control/DspRecords.h"

namespace kavelo::test {

// A state holding the factory defaults.
inline DspState FactoryState() {
    DspState s;
    ResetToDefaults(s);
    return s;
}

// The factory defaults as a connected amplifier reports them to the main window:
// the high-level source and a main volume above the minimum.
inline DspState ConnectedDefaults() {
    DspState s = FactoryState();
    s.inputSource = 5;
    s.mainVolume = 30;
    return s;
}

}  // namespace kavelo::test

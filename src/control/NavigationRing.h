#pragma once

#include <string>

// The keyboard ring over the main window's edit fields: which edit the focus
// moves to on a left or right arrow, and down an EQ band column on Enter.
namespace kavelo {

struct RingState {
    int bandCount = 31;            // bands of the current output
    bool firstFreqEnabled = true;  // eq_freq_0 takes the focus
    bool lastQEnabled = true;      // eq_q_(bandCount - 1) takes the focus
};

// The edit after (`forward`) or before the sender `name` with index `index`; empty
// when the sender is not part of the ring.
std::string RingNeighbour(const std::string& name, int index, bool forward, const RingState& ring);

// The next edit down the sender's EQ column (frequency, Q, gain, then the next
// band's frequency, wrapping to band 0); empty for a sender outside the EQ rows.
std::string EqColumnNext(const std::string& name, int index, int bandCount);

// Whether the sender is one of the three EQ edit rows.
bool IsEqEditName(const std::string& name);

}  // namespace kavelo

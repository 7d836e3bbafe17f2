#include "control/NavigationRing.h"

namespace kavelo {

namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string Indexed(const char* prefix, int i) { return prefix + std::to_string(i); }

constexpr int kLastOutput = 7;

}  // namespace

bool IsEqEditName(const std::string& name) {
    return StartsWith(name, "eq_freq_") || StartsWith(name, "eq_q_") ||
           StartsWith(name, "eq_gain_");
}

std::string RingNeighbour(const std::string& name, int i, bool forward, const RingState& ring) {
    const int n = ring.bandCount;
    if (StartsWith(name, "hp_freq"))
        return forward ? "lp_freq" : Indexed("edit_ch_delay_", kLastOutput);
    if (StartsWith(name, "lp_freq")) return forward ? "edit_main_volume" : "hp_freq";
    if (StartsWith(name, "edit_main_volume")) {
        if (!forward) return "lp_freq";
        return ring.firstFreqEnabled ? "eq_freq_0" : "eq_gain_0";
    }
    if (StartsWith(name, "eq_freq_")) {
        if (forward) return i + 1 < n ? Indexed("eq_freq_", i + 1) : "eq_q_0";
        return i > 0 ? Indexed("eq_freq_", i - 1) : "edit_main_volume";
    }
    if (StartsWith(name, "eq_q_")) {
        if (forward) return i + 1 < n ? Indexed("eq_q_", i + 1) : "eq_gain_0";
        return i > 0 ? Indexed("eq_q_", i - 1) : Indexed("eq_freq_", n - 1);
    }
    if (StartsWith(name, "eq_gain_")) {
        if (forward) return i + 1 < n ? Indexed("eq_gain_", i + 1) : "edit_ch_volume_0";
        if (i > 0) return Indexed("eq_gain_", i - 1);
        // With the Q row disabled the frequency row is too: both are skipped.
        return ring.lastQEnabled ? Indexed("eq_q_", n - 1) : "edit_main_volume";
    }
    if (StartsWith(name, "edit_ch_volume_")) {
        if (forward) return i < kLastOutput ? Indexed("edit_ch_volume_", i + 1) : "edit_ch_delay_0";
        return i > 0 ? Indexed("edit_ch_volume_", i - 1) : Indexed("eq_gain_", n - 1);
    }
    if (StartsWith(name, "edit_ch_delay_")) {
        if (forward) return i < kLastOutput ? Indexed("edit_ch_delay_", i + 1) : "hp_freq";
        return i > 0 ? Indexed("edit_ch_delay_", i - 1) : Indexed("edit_ch_volume_", kLastOutput);
    }
    return {};
}

std::string EqColumnNext(const std::string& name, int i, int bandCount) {
    if (StartsWith(name, "eq_freq_")) return Indexed("eq_q_", i);
    if (StartsWith(name, "eq_q_")) return Indexed("eq_gain_", i);
    if (StartsWith(name, "eq_gain_"))
        return i + 1 < bandCount ? Indexed("eq_freq_", i + 1) : "eq_freq_0";
    return {};
}

}  // namespace kavelo

// The keyboard ring over the main window's edits: every row of its table and the
// skips while the frequency and Q rows are disabled.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "control/NavigationRing.h"

namespace kavelo {
namespace {

struct RingCase {
    const char* sender;
    int index;
    bool forward;
    bool rowsEnabled;  // eq_freq_0 and the last eq_q take the focus
    const char* target;
};

void PrintTo(const RingCase& c, std::ostream* os) {
    *os << c.sender << (c.forward ? " right" : " left") << (c.rowsEnabled ? "" : " (GEQ)");
}

class Ring : public ::testing::TestWithParam<RingCase> {};

TEST_P(Ring, MovesAsTheTableSays) {
    const RingCase& c = GetParam();
    RingState ring;
    ring.bandCount = 31;
    ring.firstFreqEnabled = ring.lastQEnabled = c.rowsEnabled;
    EXPECT_EQ(RingNeighbour(c.sender, c.index, c.forward, ring), c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Ring,
    ::testing::Values(RingCase{"hp_freq", 0, false, true, "edit_ch_delay_7"},
                      RingCase{"hp_freq", 0, true, true, "lp_freq"},
                      RingCase{"lp_freq", 0, false, true, "hp_freq"},
                      RingCase{"lp_freq", 0, true, true, "edit_main_volume"},
                      RingCase{"edit_main_volume", 0, false, true, "lp_freq"},
                      RingCase{"edit_main_volume", 0, true, true, "eq_freq_0"},
                      RingCase{"edit_main_volume", 0, true, false, "eq_gain_0"},
                      RingCase{"eq_freq_0", 0, false, true, "edit_main_volume"},
                      RingCase{"eq_freq_4", 4, true, true, "eq_freq_5"},
                      RingCase{"eq_freq_30", 30, true, true, "eq_q_0"},
                      RingCase{"eq_q_0", 0, false, true, "eq_freq_30"},
                      RingCase{"eq_q_30", 30, true, true, "eq_gain_0"},
                      RingCase{"eq_gain_0", 0, false, true, "eq_q_30"},
                      RingCase{"eq_gain_0", 0, false, false, "edit_main_volume"},
                      RingCase{"eq_gain_30", 30, true, true, "edit_ch_volume_0"},
                      RingCase{"edit_ch_volume_0", 0, false, true, "eq_gain_30"},
                      RingCase{"edit_ch_volume_7", 7, true, true, "edit_ch_delay_0"},
                      RingCase{"edit_ch_delay_0", 0, false, true, "edit_ch_volume_7"},
                      RingCase{"edit_ch_delay_3", 3, false, true, "edit_ch_delay_2"},
                      RingCase{"edit_ch_delay_7", 7, true, true, "hp_freq"},
                      RingCase{"spk_delay_2", 2, true, true, ""}));

TEST(RingColumn, EnterWalksDownTheBandColumn) {
    EXPECT_EQ(EqColumnNext("eq_freq_3", 3, 31), "eq_q_3");
    EXPECT_EQ(EqColumnNext("eq_q_3", 3, 31), "eq_gain_3");
    EXPECT_EQ(EqColumnNext("eq_gain_3", 3, 31), "eq_freq_4");
    EXPECT_EQ(EqColumnNext("eq_gain_30", 30, 31), "eq_freq_0");
    EXPECT_EQ(EqColumnNext("edit_main_volume", 0, 31), "");
}

}  // namespace
}  // namespace kavelo

#include "device/SlicedRead.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "device/LinkWake.h"

namespace kavelo {
namespace {

// A port scripted read by read: each read takes its whole slice on a clock
// that only the reads move, and answers with the next scripted result (0 once
// the script is used up). The cancel may be raised after a given read.
struct SliceCase {
    const char* name;
    int timeoutMs;
    std::vector<int> results;
    int cancelAfterRead;  // 0: never
    int expected;
    std::vector<int> expectedSlices;
};
void PrintTo(const SliceCase& c, std::ostream* os) { *os << c.name; }

class SlicedRead : public ::testing::TestWithParam<SliceCase> {};

TEST_P(SlicedRead, EndsOnDataErrorTimeOutOrCancel) {
    const SliceCase& c = GetParam();
    LinkWake cancel;
    std::int64_t now = 1000;
    std::vector<int> slices;
    auto read = [&](int slice) {
        slices.push_back(slice);
        now += slice;
        const std::size_t i = slices.size() - 1;
        if (static_cast<int>(slices.size()) == c.cancelAfterRead) cancel.Raise();
        return i < c.results.size() ? c.results[i] : 0;
    };
    EXPECT_EQ(ReadInSlices(read, c.timeoutMs, cancel, [&] { return now; }), c.expected);
    EXPECT_EQ(slices, c.expectedSlices);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SlicedRead,
    testing::Values(
        SliceCase{"bytes_at_once", 10000, {64}, 0, 64, {50}},
        SliceCase{"bytes_on_the_third_slice", 10000, {0, 0, 64}, 0, 64, {50, 50, 50}},
        SliceCase{"error_returned_as_it_is", 10000, {0, -1}, 0, -1, {50, 50}},
        SliceCase{"time_out_in_whole_slices", 150, {}, 0, 0, {50, 50, 50}},
        SliceCase{"time_out_with_a_short_last_slice", 120, {}, 0, 0, {50, 50, 20}},
        SliceCase{"short_time_out_is_one_read", 30, {}, 0, 0, {30}},
        SliceCase{"zero_time_out_polls_once", 0, {}, 0, 0, {0}},
        SliceCase{"cancel_ends_a_long_wait", 3600000, {}, 2, 0, {50, 50}},
        SliceCase{"cancel_ends_an_endless_wait", -1, {}, 3, 0, {50, 50, 50}},
        SliceCase{"endless_wait_until_bytes", -1, {0, 0, 0, 0, 8}, 0, 8, {50, 50, 50, 50, 50}}),
    [](const testing::TestParamInfo<SliceCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kavelo

#include <gtest/gtest.h>

#include <ostream>

#include "control/ParseNumber.h"

namespace kavelo {
namespace {

struct NumberCase {
    const char* name;
    const char* text;
    std::uint32_t value;
    bool overflow;
};
void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.name; }

class ParseNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumberTest, ReadsTheLeadingDigitsOfItsBase) {
    const NumberCase& c = GetParam();
    bool overflow = !c.overflow;
    EXPECT_EQ(ParseNumber(c.text, &overflow), c.value);
    EXPECT_EQ(overflow, c.overflow);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseNumberTest,
    ::testing::Values(
        NumberCase{"Empty", "", 0, false}, NumberCase{"DecimalStopsAtLetter", "1f", 1, false},
        NumberCase{"Hex", "0x1F", 31, false}, NumberCase{"HexUpperPrefix", "0XfF", 255, false},
        NumberCase{"Octal", "017", 15, false}, NumberCase{"OctalStopsAtEight", "018", 1, false},
        NumberCase{"HexPrefixAlone", "0x", 0, false},
        NumberCase{"HexAllOnes", "0xffffffff", 0xFFFFFFFFu, false},
        NumberCase{"DecimalMax", "4294967295", 0xFFFFFFFFu, false},
        NumberCase{"SlashFirst", "/12", 0, false}, NumberCase{"SlashEnds", "12/3", 12, false},
        NumberCase{"NoDigits", "abc", 0, false}, NumberCase{"Negative", "-5", 0, false},
        NumberCase{"HexBeyond32Bits", "0x100000000", 0, true},
        NumberCase{"DecimalBeyond32Bits", "4294967296", 0, true}),
    [](const ::testing::TestParamInfo<NumberCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kavelo

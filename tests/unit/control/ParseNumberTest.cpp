#include <gtest/gtest.h>

#include <optional>
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

// Typed values of the windows' fields: one rule for every field. A row without
// a value is text that holds no number (the field keeps its value).
struct TypedCase {
    const char* name;
    const char* text;
    std::optional<double> number;  // ReadTypedNumber
    std::optional<int> whole;      // ReadTypedWhole
};
void PrintTo(const TypedCase& c, std::ostream* os) { *os << c.name; }

class TypedNumber : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedNumber, ReadsTheLeadingNumberWithEitherDecimalMark) {
    const TypedCase& c = GetParam();
    const std::optional<double> number = ReadTypedNumber(c.text);
    ASSERT_EQ(number.has_value(), c.number.has_value()) << (number ? *number : 0.0);
    if (c.number) {
        EXPECT_DOUBLE_EQ(*number, *c.number);
    }
    EXPECT_EQ(ReadTypedWhole(c.text), c.whole);
}

constexpr std::nullopt_t kNone = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Table, TypedNumber,
    ::testing::Values(
        TypedCase{"Whole", "12", 12.0, 12}, TypedCase{"UnitAfter", "12dB", 12.0, 12},
        TypedCase{"PointAndUnit", "12.5 cm", 12.5, 12}, TypedCase{"CommaDecibels", "2,5", 2.5, 2},
        TypedCase{"NegativeComma", "-3,5", -3.5, -3}, TypedCase{"CommaInches", "2,54 in", 2.54, 2},
        TypedCase{"PlusSign", "+4", 4.0, 4}, TypedCase{"LeadingBlanks", "  7", 7.0, 7},
        TypedCase{"FractionOnly", ",5", 0.5, 0}, TypedCase{"MarkLast", "20,", 20.0, 20},
        TypedCase{"NegativeBelowOne", "-0,5", -0.5, 0},
        TypedCase{"HugeIsLimitedWhenWhole", "99999999999", 99999999999.0, 1000000000},
        TypedCase{"Empty", "", kNone, kNone}, TypedCase{"Blanks", "   ", kNone, kNone},
        TypedCase{"Letters", "abc", kNone, kNone}, TypedCase{"SignAlone", "-", kNone, kNone},
        TypedCase{"MarkAlone", ",", kNone, kNone},
        TypedCase{"PointThenComma", "1.000,5", kNone, kNone},
        TypedCase{"CommaThenPoint", "1,000.5", kNone, kNone},
        TypedCase{"TwoPoints", "1.2.3", kNone, kNone}, TypedCase{"NotANumber", "nan", kNone, kNone},
        TypedCase{"Infinity", "inf", kNone, kNone},
        TypedCase{"BeyondDouble", "1e400", kNone, kNone}),
    [](const ::testing::TestParamInfo<TypedCase>& info) { return info.param.name; });

struct FrequencyCase {
    const char* name;
    const char* text;
    std::optional<int> hz;
};
void PrintTo(const FrequencyCase& c, std::ostream* os) { *os << c.name; }

class TypedFrequency : public ::testing::TestWithParam<FrequencyCase> {};

TEST_P(TypedFrequency, ReadsWholeHertzWithTheThousandsMark) {
    EXPECT_EQ(ReadTypedFrequency(GetParam().text), GetParam().hz);
}

INSTANTIATE_TEST_SUITE_P(Table, TypedFrequency,
                         ::testing::Values(FrequencyCase{"Plain", "440", 440},
                                           FrequencyCase{"WithUnit", "20000Hz", 20000},
                                           FrequencyCase{"MarkAndHundreds", "1K2", 1200},
                                           FrequencyCase{"LowerMark", "12k", 12000},
                                           FrequencyCase{"HalfThousand", "2K5", 2500},
                                           FrequencyCase{"OnlyOneHundredsDigit", "1K25", 1200},
                                           FrequencyCase{"MarkAfterBlank", "12 kHz", 12000},
                                           FrequencyCase{"PointBeforeMark", "1.2K", 1200},
                                           FrequencyCase{"CommaBeforeMark", "3,5k", 3500},
                                           FrequencyCase{"ThousandthsStayWhole", "1,001k", 1001},
                                           FrequencyCase{"FractionCut", "150,5", 150},
                                           FrequencyCase{"FractionAndHundreds", "1,5k2", kNone},
                                           FrequencyCase{"BothMarks", "1.000,5", kNone},
                                           FrequencyCase{"Empty", "", kNone},
                                           FrequencyCase{"MarkAlone", "K", kNone},
                                           FrequencyCase{"Letters", "abc", kNone}),
                         [](const ::testing::TestParamInfo<FrequencyCase>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace kavelo

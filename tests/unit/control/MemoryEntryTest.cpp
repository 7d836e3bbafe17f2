// A word typed into the memory window: read as the memory tools read numbers, or
// refused when it holds no number at all.
#include <gtest/gtest.h>

#include "control/MemoryEntry.h"

namespace kavelo {
namespace {

TEST(MemoryEntry, ReadsNumbersAndRefusesTheRest) {
    struct Case {
        const char* text;
        MemoryEntryVerdict verdict;
        std::uint32_t value;
    };
    using V = MemoryEntryVerdict;
    const Case cases[] = {
        {"0x1F", V::Number, 31},
        {"017", V::Number, 15},
        {"1f", V::Number, 1},
        {"0x", V::Number, 0},
        {"  42", V::Number, 42},
        {"0xffffffff", V::Number, 0xFFFFFFFFu},
        {"hello", V::NotANumber, 0},
        {"xyz", V::NotANumber, 0},
        {"-1", V::NotANumber, 0},
        {"", V::NotANumber, 0},
        {"   ", V::NotANumber, 0},
        {"+5", V::NotANumber, 0},
        {"0x100000000", V::TooLarge, 0},
        {"4294967296", V::TooLarge, 0},
    };
    for (const Case& c : cases) {
        const MemoryEntry entry = ReadMemoryEntry(c.text);
        EXPECT_EQ(entry.verdict, c.verdict) << '"' << c.text << '"';
        EXPECT_EQ(entry.value, c.value) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace kavelo

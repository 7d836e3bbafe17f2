#include <gtest/gtest.h>

#include "control/SceneNames.h"

namespace kavelo {
namespace {

SceneName Name(const std::u16string& units) { return SceneNameFromUnits(units); }

TEST(SceneNames, EntriesHoldSevenUnitsAndATerminator) {
    struct Row {
        std::u16string typed;
        std::u16string stored;
    };
    const Row rows[] = {
        {u"", u""},
        {u"Club", u"Club"},
        {u"1234567", u"1234567"},
        {u"12345678", u"1234567"},         // the eighth unit is the terminator's place
        {u"低音炮", u"低音炮"},            // one unit each
        {u"123456\U0001F3B5", u"123456"},  // a pair across the limit is left out whole
        {u"12345\U0001F3B5", u"12345\U0001F3B5"},
    };
    for (const Row& r : rows) {
        const SceneName name = Name(r.typed);
        EXPECT_EQ(SceneNameUnits(name), r.stored);
        EXPECT_EQ(name[14], 0);  // always terminated
        EXPECT_EQ(name[15], 0);
    }
    // Little-endian units, as the amplifier and the profile files keep them.
    const SceneName ab = Name(u"A\u0416");
    EXPECT_EQ(ab[0], 'A');
    EXPECT_EQ(ab[1], 0);
    EXPECT_EQ(ab[2], 0x16);
    EXPECT_EQ(ab[3], 0x04);
}

TEST(SceneNames, ReadingStopsAtTheFirstZeroOrTheEnd) {
    SceneName full;
    full.fill('x');  // no terminator at all: eight units, never more
    EXPECT_EQ(SceneNameUnits(full).size(), 8u);
    SceneName early{};
    early[0] = 'a';
    early[4] = 'b';  // after the terminator: not part of the name
    EXPECT_EQ(SceneNameUnits(early), u"a");
    EXPECT_TRUE(SceneNameEmpty(SceneName{}));
    EXPECT_FALSE(SceneNameEmpty(early));
}

TEST(SceneNames, SameNameIsFoundInAnotherSlotOnly) {
    SceneNameTable names{};
    names[3] = Name(u"Bass");
    names[6] = Name(u"Bass");
    names[8] = Name(u"bass");
    struct Row {
        int slot;
        std::u16string name;
        int expected;
    };
    const Row rows[] = {
        {6, u"Bass", 3},                 // scene 4's name typed for scene 7
        {3, u"Bass", 6},                 // its own slot does not count
        {0, u"BASS", -1},                // exact and case-sensitive
        {0, u"bass", 8},  {0, u"", -1},  // an empty name is never a duplicate
        {5, u"Bas", -1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FindSameSceneName(names, r.slot, Name(r.name)), r.expected) << r.slot;
}

}  // namespace
}  // namespace kavelo

// What a switched-on link tells the user: the pairs copied and linked in the chosen
// direction, and every output with a role left out, with the reason.
#include <gtest/gtest.h>

#include <vector>

#include "ModelStates.h"
#include "control/DspOperations.h"
#include "control/LinkReport.h"

namespace kavelo {
namespace {

TEST(LinkReport, ListsTheLinkedPairsAndWhyTheOthersWereLeftOut) {
    DspState s = test::FactoryState();
    // 0 front left tweeter: its mirror sits on output 6, in the other output group;
    // 1 front right full: no output is front left full; 2/3 rear left/right full: a
    // pair; 4 and 7 roles without a mirror; 5 no role.
    s.outputs = {1, 12, 15, 18, 19, 0, 7, 20};
    ComputeLinkPairs(s);
    s.linkMode = 1;
    const std::vector<SkippedOutput> skipped = {
        {0, LinkSkip::PartnerInOtherGroup, 7, 6}, {1, LinkSkip::PartnerMissing, 6, -1},
        {4, LinkSkip::NoPartnerRole, 0, -1},      {6, LinkSkip::PartnerInOtherGroup, 1, 0},
        {7, LinkSkip::NoPartnerRole, 0, -1},
    };
    struct Case {
        int choice;
        std::vector<LinkedPair> linked;
    };
    for (const Case& c : {Case{1, {{2, 3}}}, Case{2, {{3, 2}}}}) {
        SCOPED_TRACE(c.choice);
        const LinkReport report = DescribeLink(s, c.choice);
        EXPECT_EQ(report.linked, c.linked);
        EXPECT_EQ(report.skipped, skipped);
    }
}

TEST(LinkReport, TheDefaultRolesLinkEveryPairAndLeaveTheMonoOutputs) {
    DspState s = test::FactoryState();  // 6, 12, 15, 18, 19, 20, 22, 23
    ComputeLinkPairs(s);
    const LinkReport report = DescribeLink(s, 1);
    EXPECT_EQ(report.linked, (std::vector<LinkedPair>{{0, 1}, {2, 3}, {6, 7}}));
    EXPECT_EQ(report.skipped, (std::vector<SkippedOutput>{{4, LinkSkip::NoPartnerRole, 0, -1},
                                                          {5, LinkSkip::NoPartnerRole, 0, -1}}));
}

}  // namespace
}  // namespace kavelo

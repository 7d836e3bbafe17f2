#pragma once

#include <vector>

#include "control/DspRecords.h"

// What switching link mode on did, for the user: the pairs that were copied and
// linked, and every output with a role that was left out, with the reason.
namespace kavelo {

enum class LinkSkip {
    NoPartnerRole,        // the role has no left/right mirror (centre, subwoofer, ...)
    PartnerMissing,       // no output holds the mirror role
    PartnerInOtherGroup,  // the mirror role is on an output of the other output group
};

struct LinkedPair {
    int from = 0;  // copied from
    int to = 0;    // onto
    bool operator==(const LinkedPair& o) const { return from == o.from && to == o.to; }
};

struct SkippedOutput {
    int output = 0;
    LinkSkip reason = LinkSkip::NoPartnerRole;
    int partnerRole = 0;     // the mirror role (0 for NoPartnerRole)
    int partnerOutput = -1;  // the output holding it (PartnerInOtherGroup only)
    bool operator==(const SkippedOutput& o) const {
        return output == o.output && reason == o.reason && partnerRole == o.partnerRole &&
               partnerOutput == o.partnerOutput;
    }
};

struct LinkReport {
    std::vector<LinkedPair> linked;
    std::vector<SkippedOutput> skipped;
};

// `state` just had link mode switched on with copy choice 1 or 2 (its partners are
// computed). Outputs without a role are neither linked nor listed.
LinkReport DescribeLink(const DspState& state, int choice);

}  // namespace kavelo

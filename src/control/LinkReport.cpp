#include "control/LinkReport.h"

#include "control/DspOperations.h"
#include "control/OutputOperations.h"

namespace kavelo {

LinkReport DescribeLink(const DspState& state, int choice) {
    LinkReport report;
    for (int i = 0; i < kOutputChannels; ++i) {
        const int j = state.linkOutputs[i];
        if (j >= 0 && LinkCopies(state, i, j, choice)) report.linked.push_back({i, j});
    }
    for (int i = 0; i < kOutputChannels; ++i) {
        const int role = state.outputs[i];
        if (role <= 0 || state.linkOutputs[i] >= 0) continue;
        SkippedOutput skip{i, LinkSkip::NoPartnerRole, MirrorRole(role), -1};
        if (skip.partnerRole != 0) {
            skip.reason = LinkSkip::PartnerMissing;
            for (int j = 0; j < kOutputChannels && skip.partnerOutput < 0; ++j) {
                if (j != i && state.outputs[j] == skip.partnerRole) {
                    skip.reason = LinkSkip::PartnerInOtherGroup;
                    skip.partnerOutput = j;
                }
            }
        }
        report.skipped.push_back(skip);
    }
    return report;
}

}  // namespace kavelo

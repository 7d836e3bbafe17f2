// response: an output's magnitude response from a scene profile, computed as
// the application computes it.
#include "CliArgs.h"
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliProfileInput.h"

namespace kavelo::cli {

int RunResponse(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {"--channel"}, {"--csv"}, 1, 1, a, error)) {
        return Fail(ctx.err, kExitUsage, "response: " + error + " (see kavelo-cli --help)");
    }
    int channel = 0;
    const std::string* channelText = a.Value("--channel");
    if (!channelText || !ParseIntInRange(*channelText, 1, kOutputChannels, channel)) {
        return Fail(ctx.err, kExitUsage, "response: --channel N with an output 1 ... 8 is needed");
    }
    DspState state;
    const int loaded = LoadSceneProfile(a.positional[0], state, ctx.err);
    if (loaded != kExitOk) return loaded;
    const ChannelState& ch = state.channels[channel - 1];
    // An output without bands still has its crossovers; the computation
    // leaves such a curve alone, so start from the crossovers on the grid.
    ResponseCurve curve;
    curve.freq = ResponseGrid();
    ResponseArray lp{};
    ComputeCrossoverResponse(ch.crossover.hp, true, curve.db);
    ComputeCrossoverResponse(ch.crossover.lp, false, lp);
    for (int i = 0; i < kResponsePoints; ++i) curve.db[i] += lp[i];
    ComputeChannelResponse(ch, curve);
    PrintResponse(ctx.out, curve, a.Has("--csv"));
    return kExitOk;
}

}  // namespace kavelo::cli

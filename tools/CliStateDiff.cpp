#include "CliStateDiff.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "control/Conversions.h"
#include "control/DspOperations.h"
#include "control/ReadBack.h"
#include "device/DspEncoding.h"

namespace kavelo::cli {

namespace {

// Float fields are reported to a thousandth; closer values are equal.
constexpr double kTolerance = 0.0005;

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

class Differ {
public:
    Differ(const std::string& where, std::vector<FieldDifference>& out) : mWhere(where), mOut(out) {}

    void Check(int output, int band, const std::string& field, double expected, double actual) {
        if (std::fabs(expected - actual) <= kTolerance) return;
        mOut.push_back({mWhere, output, band, field, Num(expected), Num(actual)});
    }
    void Check(const std::string& field, double expected, double actual) {
        Check(-1, -1, field, expected, actual);
    }

private:
    std::string mWhere;
    std::vector<FieldDifference>& mOut;
};

void AsLines(const std::vector<FieldDifference>& diffs, std::vector<std::string>& out) {
    for (const FieldDifference& d : diffs)
        out.push_back(d.where + ": " + FieldName(d) + ": file " + d.expected + ", amplifier " +
                      d.actual);
}

}  // namespace

DspState AsReportedBack(const DspState& written) {
    DspState s = written;
    // Sent as 6 - dB cut to a whole byte, reported as the dB level.
    const int sent = static_cast<std::int8_t>(EncodeSignedByte(
        static_cast<float>(MainVolumeSent(written.mainVolume))));
    s.mainVolume = MainVolumeFromReported(6 - sent);
    for (ChannelState& ch : s.channels) {
        const int bands = std::max(0, std::min(ch.eqSize, kEqBands));
        for (int b = 0; b < bands; ++b) {
            EqBand& band = ch.bands[b];
            const auto g = EncodeGain(band.eqGain);
            band.eqGain = static_cast<float>(g[0]) + static_cast<float>(g[1] / 10.0) - 18.0f;
        }
        const auto d = EncodeDelay(ch.delay);
        ch.delay = static_cast<float>(d[0] + ((d[1] << 8) | d[2]) / 1000.0);
        ch.gain = std::trunc(ch.gain);
        for (CrossoverFilter* f : {&ch.crossover.hp, &ch.crossover.lp}) {
            const CrossoverFilter raw = *f;
            SetFilterFs(*f, raw.fs);
            SetFilterType(*f, raw.type);
            SetFilterSlope(*f, raw.slope);
        }
    }
    for (int src = 0; src < kInputSources; ++src) {
        for (int in = 0; in < kInputRows; ++in) {
            for (int c = 0; c < kOutputChannels; ++c) {
                int& level = s.inputMixVolume[src][in][c];
                if (level < 1 && in < kMaxInputChannels && (s.inputs[src][c] & (1 << in))) {
                    level = 100;
                }
            }
        }
    }
    return s;
}

std::string FieldName(const FieldDifference& d) {
    std::string name;
    if (d.output >= 0) name += "output " + std::to_string(d.output + 1) + " ";
    if (d.band >= 0) name += "band " + std::to_string(d.band + 1) + " ";
    return name + d.field;
}

void CompareStates(const std::string& where, const DspState& expected, const DspState& actual,
                   bool withMain, std::vector<FieldDifference>& out) {
    Differ d(where, out);
    if (withMain) {
        d.Check("main volume", expected.mainVolume, actual.mainVolume);
        d.Check("main mute", expected.mainVolumeMute, actual.mainVolumeMute);
    }
    for (int c = 0; c < kOutputChannels; ++c) {
        const ChannelState& e = expected.channels[c];
        const ChannelState& a = actual.channels[c];
        d.Check(c, -1, "role", expected.outputs[c], actual.outputs[c]);
        d.Check(c, -1, "gain", e.gain, a.gain);
        d.Check(c, -1, "mute", e.mute, a.mute);
        d.Check(c, -1, "delay", e.delay, a.delay);
        d.Check(c, -1, "phase", e.phase, a.phase);
        d.Check(c, -1, "EQ bypass", e.bypass, a.bypass);
        const struct {
            const char* name;
            const CrossoverFilter& e;
            const CrossoverFilter& a;
        } filters[] = {{"high-pass", e.crossover.hp, a.crossover.hp},
                       {"low-pass", e.crossover.lp, a.crossover.lp}};
        for (const auto& f : filters) {
            const std::string name = f.name;
            d.Check(c, -1, name + " frequency", f.e.fs, f.a.fs);
            d.Check(c, -1, name + " type", f.e.type, f.a.type);
            d.Check(c, -1, name + " slope", f.e.slope, f.a.slope);
        }
        const int bands = std::max(0, std::min(e.eqSize, kEqBands));
        for (int b = 0; b < bands; ++b) {
            d.Check(c, b, "frequency", e.bands[b].freq, a.bands[b].freq);
            d.Check(c, b, "Q", e.bands[b].eqFactor, a.bands[b].eqFactor);
            d.Check(c, b, "gain", e.bands[b].eqGain, a.bands[b].eqGain);
        }
    }
    for (int src = 0; src < kInputSources; ++src) {
        const std::string source = "source " + std::to_string(src);
        for (int c = 0; c < kOutputChannels; ++c) {
            d.Check(c, -1, source + " inputs", expected.inputs[src][c], actual.inputs[src][c]);
            for (int in = 0; in < InputChannelCount(src); ++in) {
                d.Check(c, -1, source + " input " + std::to_string(in + 1) + " level",
                        expected.inputMixVolume[src][in][c], actual.inputMixVolume[src][in][c]);
            }
        }
    }
}

void CompareStates(const std::string& where, const DspState& expected, const DspState& actual,
                   bool withMain, std::vector<std::string>& out) {
    std::vector<FieldDifference> diffs;
    CompareStates(where, expected, actual, withMain, diffs);
    AsLines(diffs, out);
}

void CompareUnwritten(const std::string& where, const DspState& expected, const DspState& actual,
                      bool withSubVolume, std::vector<FieldDifference>& out) {
    Differ d(where, out);
    d.Check("link mode", expected.linkMode, actual.linkMode);
    d.Check("lock", expected.lockMode, actual.lockMode);
    if (withSubVolume) d.Check("sub volume", expected.subVolume, actual.subVolume);
}

void NoteUnwritten(const std::string& where, const DspState& file, const DspState& device,
                   std::vector<std::string>& out) {
    std::vector<FieldDifference> diffs;
    CompareUnwritten(where, file, device, false, diffs);
    for (const FieldDifference& d : diffs) {
        out.push_back(where + ": " + d.field + ": file " + d.expected + ", amplifier " + d.actual +
                      " (a profile does not set it on the amplifier)");
    }
}

void CompareNames(const WholeProfile& expected, const WholeProfile& actual,
                  std::vector<FieldDifference>& out) {
    for (int k = 0; k < kSceneSlots; ++k) {
        const std::string e = SceneNameToUtf8(expected.names[k]);
        const std::string a = SceneNameToUtf8(actual.names[k]);
        if (e != a) out.push_back({"scene " + std::to_string(k + 1), -1, -1, "name",
                                   "\"" + e + "\"", "\"" + a + "\""});
    }
}

void CompareNames(const WholeProfile& expected, const WholeProfile& actual,
                  std::vector<std::string>& out) {
    std::vector<FieldDifference> diffs;
    CompareNames(expected, actual, diffs);
    for (const FieldDifference& d : diffs)
        out.push_back(d.where + " name: file " + d.expected + ", amplifier " + d.actual);
}

}  // namespace kavelo::cli

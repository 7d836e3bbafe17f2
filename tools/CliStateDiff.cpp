#include "CliStateDiff.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>

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
    Differ(const std::string& where, std::vector<std::string>& out) : mWhere(where), mOut(out) {}

    void Check(const std::string& field, double expected, double actual) {
        if (std::fabs(expected - actual) <= kTolerance) return;
        mOut.push_back(mWhere + ": " + field + ": file " + Num(expected) + ", amplifier " +
                       Num(actual));
    }

private:
    std::string mWhere;
    std::vector<std::string>& mOut;
};

std::string Output(int c) { return "output " + std::to_string(c + 1); }

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
            const auto q = EncodeQuality(band.eqFactor);
            band.eqFactor = static_cast<float>(q[0]) + static_cast<float>(q[1] / 100.0);
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

void CompareStates(const std::string& where, const DspState& expected, const DspState& actual,
                   bool withMain, std::vector<std::string>& out) {
    Differ d(where, out);
    if (withMain) {
        d.Check("main volume", expected.mainVolume, actual.mainVolume);
        d.Check("main mute", expected.mainVolumeMute, actual.mainVolumeMute);
    }
    for (int c = 0; c < kOutputChannels; ++c) {
        const ChannelState& e = expected.channels[c];
        const ChannelState& a = actual.channels[c];
        const std::string o = Output(c);
        d.Check(o + " role", expected.outputs[c], actual.outputs[c]);
        d.Check(o + " gain", e.gain, a.gain);
        d.Check(o + " mute", e.mute, a.mute);
        d.Check(o + " delay", e.delay, a.delay);
        d.Check(o + " phase", e.phase, a.phase);
        d.Check(o + " EQ bypass", e.bypass, a.bypass);
        const struct {
            const char* name;
            const CrossoverFilter& e;
            const CrossoverFilter& a;
        } filters[] = {{" high-pass", e.crossover.hp, a.crossover.hp},
                       {" low-pass", e.crossover.lp, a.crossover.lp}};
        for (const auto& f : filters) {
            d.Check(o + f.name + " frequency", f.e.fs, f.a.fs);
            d.Check(o + f.name + " type", f.e.type, f.a.type);
            d.Check(o + f.name + " slope", f.e.slope, f.a.slope);
        }
        const int bands = std::max(0, std::min(e.eqSize, kEqBands));
        for (int b = 0; b < bands; ++b) {
            const std::string band = o + " band " + std::to_string(b + 1);
            d.Check(band + " frequency", e.bands[b].freq, a.bands[b].freq);
            d.Check(band + " Q", e.bands[b].eqFactor, a.bands[b].eqFactor);
            d.Check(band + " gain", e.bands[b].eqGain, a.bands[b].eqGain);
        }
    }
    for (int src = 0; src < kInputSources; ++src) {
        const std::string source = "source " + std::to_string(src);
        for (int c = 0; c < kOutputChannels; ++c) {
            d.Check(source + " " + Output(c) + " inputs", expected.inputs[src][c],
                    actual.inputs[src][c]);
            for (int in = 0; in < InputChannelCount(src); ++in) {
                d.Check(source + " input " + std::to_string(in + 1) + " to " + Output(c) + " level",
                        expected.inputMixVolume[src][in][c], actual.inputMixVolume[src][in][c]);
            }
        }
    }
}

void NoteUnwritten(const std::string& where, const DspState& file, const DspState& device,
                   std::vector<std::string>& out) {
    const struct {
        const char* name;
        int file;
        int device;
    } fields[] = {{"link mode", file.linkMode, device.linkMode},
                  {"lock", file.lockMode, device.lockMode}};
    for (const auto& f : fields) {
        if (f.file == f.device) continue;
        out.push_back(where + ": " + f.name + ": file " + std::to_string(f.file) +
                      ", amplifier " + std::to_string(f.device) +
                      " (a profile does not set it on the amplifier)");
    }
}

void CompareNames(const WholeProfile& expected, const WholeProfile& actual,
                  std::vector<std::string>& out) {
    for (int k = 0; k < kSceneSlots; ++k) {
        const std::string e = SceneNameToUtf8(expected.names[k]);
        const std::string a = SceneNameToUtf8(actual.names[k]);
        if (e != a) {
            out.push_back("scene " + std::to_string(k + 1) + " name: file \"" + e +
                          "\", amplifier \"" + a + "\"");
        }
    }
}

}  // namespace kavelo::cli

// The amplifier's automatic calibration, as a fixed script: the host starts a
// run, polls the status once a second and fetches the measured spectrum and
// the computed EQ of each channel when told to; the result then waits until
// the host keeps or discards it. The measurements are made up but
// deterministic, so tests can check what arrives.
#include <algorithm>
#include <cmath>

#include "device/DspEncoding.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {

namespace {
constexpr std::uint8_t kIrc = 0x13, kIrcDistance = 0x14, kIrcEq = 0x16, kIrcSpectrum = 0x1A,
                       kIrcModule = 0x1E;
constexpr std::uint8_t kStop = 0, kStart = 1, kKeep = 2, kDiscard = 3;
constexpr std::uint8_t kStatusDelayTest = 3, kStatusRtaUpdate = 7, kStatusEqUpdate = 8,
                       kStatusDone = 10, kStatusFail = 11, kStatusExit = 12;
constexpr std::uint8_t kFailNoSpeaker = 2;
constexpr std::uint8_t kModuleEq = 1, kModuleDelay = 2, kModulePhase = 4;
constexpr int kCalibrationFrequencies[kAmpCalibrationBands] = {20,   40,   80,   160,   315,  630,
                                                               1250, 2500, 5000, 10000, 20000};

// Distance of channel c from the microphone, in hundredths of a metre.
int DistanceCm(int c) { return 100 + 25 * c; }

// The level a measurement finds on output c at frequency f, in dB: a speaker in a
// cabin, with broad resonances that differ per output, the low end falling away
// below the speaker's range and the top above 12 kHz.
double CabinLevel(int c, double f) {
    const double octaves = std::log2(f / 20.0);
    double db = 4.0 * std::sin(octaves * 1.7 + c) + 2.0 * std::sin(octaves * 4.1 + 2.0 * c);
    const double lowest = 60.0 + 10.0 * c;
    if (f < lowest) db -= 12.0 * std::log2(lowest / f);
    if (f > 12000.0) db -= 9.0 * std::log2(f / 12000.0);
    return std::clamp(db, -19.5, 19.5);
}

// The computed EQ works against the measurement in half decibels, cutting up to 9 dB
// and boosting at most 6 dB (a boost costs the amplifier headroom).
AmpEqBand CalibrationBand(int c, int b) {
    const int frequency = kCalibrationFrequencies[b];
    const double gain = std::clamp(std::round(-CabinLevel(c, frequency) * 2.0) / 2.0, -9.0, 6.0);
    const int tenths = static_cast<int>(std::lround((gain + 18.0) * 10.0));
    AmpEqBand band;
    band.frequency = static_cast<std::uint16_t>(frequency);
    band.qInteger = 1;
    band.qFraction = 41;
    band.gainInteger = static_cast<std::uint8_t>(tenths / 10);
    band.gainTenths = static_cast<std::uint8_t>(tenths % 10);
    return band;
}

int SpectrumFrequency(int i) { return 20 + 19980 * i / kAmpSpectrumPoints; }

// Point i of channel c: frequency (whole Hz, hundredths), level (whole dB,
// hundredths), the level bytes signed.
std::array<std::uint8_t, 5> SpectrumPoint(int c, int i) {
    const int frequency = SpectrumFrequency(i);
    const int level = VirtualAmplifier::CalibrationLevelHundredths(c, i);
    return {static_cast<std::uint8_t>(frequency >> 8), static_cast<std::uint8_t>(frequency & 0xFF),
            0, static_cast<std::uint8_t>(static_cast<std::int8_t>(level / 100)),
            static_cast<std::uint8_t>(static_cast<std::int8_t>(level % 100))};
}
}  // namespace

int VirtualAmplifier::CalibrationLevelHundredths(int channel, int point) {
    return static_cast<int>(std::lround(CabinLevel(channel, SpectrumFrequency(point)) * 100.0));
}

void VirtualAmplifier::ScriptCalibrationFailure(int status, int reason) {
    std::lock_guard<std::mutex> lock(mMutex);
    mCalibration.failAtStatus = status;
    mCalibration.failReason = reason;
}

bool VirtualAmplifier::CalibrationRunning() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCalibration.running;
}

int VirtualAmplifier::CalibrationModule() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCalibration.module;
}

void VirtualAmplifier::StartCalibration(std::uint16_t channels, std::uint8_t eqMode) {
    CalibrationRun& run = mCalibration;
    run.channels = channels & ((1u << kAmpOutputs) - 1);
    run.eqMode = eqMode;
    run.steps.clear();
    run.next = 0;
    run.running = true;
    run.resultPending = false;
    if (run.channels == 0) {
        run.steps.push_back({kStatusFail, 0, 0, 0, kFailNoSpeaker});
        return;
    }
    // Start, speaker check, level, delay, trim, EQ, frequency response test.
    const std::uint8_t progress[] = {0, 10, 20, 35, 50, 60, 70};
    for (std::uint8_t s = 0; s <= 6; ++s) run.steps.push_back({s, 0, 0, progress[s], 0});
    for (std::uint8_t c = 0; c < kAmpOutputs; ++c) {
        if (!(run.channels & (1u << c))) continue;
        const auto p = static_cast<std::uint8_t>(70 + 3 * c);
        run.steps.push_back({kStatusRtaUpdate, c, 0, p, 0});
        run.steps.push_back({kStatusEqUpdate, c, 0, p, 0});
    }
    run.steps.push_back({9, 0, 0, 95, 0});
    run.steps.push_back({kStatusDone, 0, 0, 100, 0});
    if (run.failAtStatus >= 1 && run.failAtStatus <= 9) {
        const auto at = std::find_if(run.steps.begin(), run.steps.end(),
                                     [&](const auto& step) { return step[0] == run.failAtStatus; });
        if (at != run.steps.end()) {
            *at = {kStatusFail, 0, 0, (*at)[3], static_cast<std::uint8_t>(run.failReason)};
            run.steps.erase(at + 1, run.steps.end());
        }
    }
}

void VirtualAmplifier::KeepCalibration() {
    const CalibrationRun& run = mCalibration;
    int farthest = 0;
    for (int c = 0; c < kAmpOutputs; ++c) {
        if (run.channels & (1u << c)) farthest = std::max(farthest, DistanceCm(c));
    }
    for (int c = 0; c < kAmpOutputs; ++c) {
        if (!(run.channels & (1u << c))) continue;
        AmpChannel& ch = mLive.settings.channels[c];
        if (run.module & kModuleEq) {
            for (int b = 0; b < kAmpCalibrationBands; ++b) ch.bands[b] = CalibrationBand(c, b);
            ch.eqBypass = 0;
        }
        // Nearer speakers wait for the farthest one (sound at 343 m/s).
        if (run.module & kModuleDelay) {
            const float ms = static_cast<float>(farthest - DistanceCm(c)) * 10.0f / 343.0f;
            ch.delay = EncodeDelay(ms);
        }
        if (run.module & kModulePhase) ch.phase = 0;
    }
}

void VirtualAmplifier::HandleCalibration(std::uint8_t subcmd, std::uint8_t optype,
                                         const std::uint8_t* p, int n) {
    CalibrationRun& run = mCalibration;
    auto ack = [&](bool ok) { Reply(CMD_DSP, subcmd, OP_ACK, {ok ? ACK_READY : ACK_NOT_READY}); };
    if (optype == OP_SET) {
        if (subcmd == kIrcModule && n >= 1) {
            run.module = p[0];
            return ack(true);
        }
        if (subcmd != kIrc || n < 4) return ack(false);
        switch (p[0]) {
            case kStart:
                StartCalibration(static_cast<std::uint16_t>(p[1] << 8 | p[2]), p[3]);
                return ack(true);
            case kStop:
                run.running = false;
                run.resultPending = false;
                run.last = {kStatusExit, 0, 0, 0, 0};
                return ack(true);
            case kKeep:
                if (!run.resultPending) return ack(false);
                KeepCalibration();
                run.resultPending = false;
                return ack(true);
            case kDiscard:
                run.resultPending = false;
                return ack(true);
            default:
                return ack(false);
        }
    }
    if (optype != OP_GET) return;
    switch (subcmd) {
        case kIrc: {
            if (run.running && run.next < run.steps.size()) run.last = run.steps[run.next++];
            const auto& step = run.last;
            const std::vector<std::uint8_t> status(step.begin(), step.end());
            if (run.running && (step[0] == kStatusDone || step[0] == kStatusFail)) {
                run.running = false;
                run.resultPending = step[0] == kStatusDone;
            }
            if (step[0] != kStatusDelayTest || !run.running) {
                return Reply(CMD_DSP, kIrc, OP_UPDATE, status);
            }
            // The measured distances go out with the delay test's status.
            int first = kAmpOutputs, last = -1;
            for (int c = 0; c < kAmpOutputs; ++c) {
                if (run.channels & (1u << c)) first = std::min(first, c), last = c;
            }
            std::vector<std::uint8_t> distances = {static_cast<std::uint8_t>(first),
                                                   static_cast<std::uint8_t>(last)};
            for (int c = first; c <= last; ++c) {
                const int cm = run.channels & (1u << c) ? DistanceCm(c) : 0;
                distances.push_back(static_cast<std::uint8_t>(cm / 100));
                distances.push_back(static_cast<std::uint8_t>(cm % 100));
            }
            return ReplyTogether(CMD_DSP, kIrcDistance, distances, kIrc, status);
        }
        case kIrcEq:
            if (n < 3 || p[0] >= kAmpOutputs) return ack(false);
            return Reply(CMD_DSP, kIrcEq, OP_UPDATE,
                         ListReply({p[0], p[1]}, p[1], p[2], kAmpCalibrationBands, 6,
                                   [&](int b, std::vector<std::uint8_t>& out) {
                                       AppendEqBandBlock(out, CalibrationBand(p[0], b));
                                   }));
        case kIrcSpectrum:
            if (n < 3 || p[0] >= kAmpOutputs) return ack(false);
            return Reply(CMD_DSP, kIrcSpectrum, OP_UPDATE,
                         ListReply({p[0], p[1]}, p[1], p[2], kAmpSpectrumPoints, 5,
                                   [&](int i, std::vector<std::uint8_t>& out) {
                                       const auto point = SpectrumPoint(p[0], i);
                                       out.insert(out.end(), point.begin(), point.end());
                                   }));
        default:
            return ack(false);
    }
}

}  // namespace kavelo

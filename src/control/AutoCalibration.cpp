#include "control/AutoCalibration.h"

#include <algorithm>
#include <iterator>

#include "base/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {

namespace {

constexpr std::array<int, kEqBands> kIsoCentres = {
    20,  25,   31,   40,   50,   63,   80,   100,  125,  160,  200,  250,   315,   400,   500,  630,
    800, 1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};

// The spectrum arrives in 13 requests of 9 points and one of the last 4.
constexpr int kSpectrumChunk = 9;
// The EQ arrives in two requests.
constexpr int kEqFirstChunkLast = 5;

bool ValidChannel(int channel) { return channel >= 0 && channel < kOutputChannels; }

}  // namespace

std::uint16_t IrcChannelMask(const std::array<bool, kOutputChannels>& checked) {
    std::uint16_t mask = 0;
    for (int i = 0; i < kOutputChannels; ++i)
        if (checked[i]) mask = static_cast<std::uint16_t>(mask | (1u << i));
    return mask;
}

std::uint8_t IrcEqMode(const std::array<bool, kCalibrationTargets>& checked) {
    for (int i = 0; i < kCalibrationTargets; ++i)
        if (checked[i]) return static_cast<std::uint8_t>(i + 1);
    return 0;
}

bool IsFinalIrcStatus(int status) {
    return status == IRC_RET_TEST_DONE || status == IRC_RET_TEST_FAIL ||
           status == IRC_RET_TEST_EXIT;
}

CalibrationBands FlatCalibrationBands() {
    CalibrationBands bands{};
    for (int b = 0; b < kEqBands; ++b) {
        bands[b].eqGain = 0.0f;
        bands[b].eqFactor = kDefaultEqFactor;
        bands[b].freq = kIsoCentres[b];
        bands[b].enable = 1;
    }
    return bands;
}

CalibrationSpectrum DefaultCalibrationSpectrum() {
    CalibrationSpectrum spectrum{};
    for (int i = 0; i < kCalibrationSpectrumPoints; ++i)
        spectrum[i] = {0.0f, 20 + 19980 * i / kCalibrationSpectrumPoints};
    return spectrum;
}

CalibrationTables::CalibrationTables() {
    mBands.fill(FlatCalibrationBands());
    mSpectrum.fill(DefaultCalibrationSpectrum());
}

bool CalibrationTables::StoreEqBand(const IrcEqBandRecord& r) {
    if (!ValidChannel(r.channel) || r.band < 0 || r.band >= kEqBands) {
        LogPrintA("calibration EQ band dropped: ch(%d), band(%d)\n", r.channel, r.band);
        return false;
    }
    EqBand& band = mBands[r.channel][r.band];
    band.freq = r.frequency;
    band.eqFactor = r.q;
    band.eqGain = r.gain;
    return r.band >= kCalibrationLastBand;
}

bool CalibrationTables::StoreSpectrumPoint(const IrcSpectrumRecord& r) {
    if (!ValidChannel(r.channel) || r.band < 0 || r.band >= kCalibrationSpectrumPoints) {
        LogPrintA("calibration spectrum point dropped: ch(%d), point(%d)\n", r.channel, r.band);
        return false;
    }
    mSpectrum[r.channel][r.band] = {r.gain, static_cast<int>(r.frequency)};
    return r.band == kCalibrationLastPoint;
}

PollEnd RunCalibrationPoll(DeviceLink& link, LinkClock& clock, CalibrationShared& shared,
                           const CalibrationRequest& request,
                           const std::function<void(int)>& reportProgress) {
    LogPrintA("%s\n", "AutoCalThread begin\n");
    shared.running = true;
    shared.spectrumStepSeen = false;
    shared.ircStatus = 0;
    auto stopped = [&] { return shared.stopRequested.load(); };
    // True while the run goes on after the wait.
    auto pause = [&] {
        clock.WaitMs(kCalibrationHalfPollMs, shared.wake);
        return !stopped();
    };
    PollEnd end = PollEnd::Finished;
    link.IRC_Sel_Test_Module(request.module, true);
    link.IRC_Ctrl(kIrcStart, request.channels, request.eqMode, true);
    while (!IsFinalIrcStatus(shared.ircStatus) && !stopped()) {
        // A silent amplifier only slows the loop; a closed link ends it.
        if (!link.IsDeviceOpen()) {
            end = PollEnd::LinkClosed;
            break;
        }
        link.IRC_Get();
        if (!pause()) break;
        const auto channel = static_cast<std::uint8_t>(shared.channel.load());
        switch (shared.ircStatus.load()) {
            case IRC_RET_SPEAKER_RTA_UPDATE:
                for (int first = 0; first <= kCalibrationLastPoint && !stopped();
                     first += kSpectrumChunk) {
                    const int last = std::min(first + kSpectrumChunk - 1, kCalibrationLastPoint);
                    link.IRC_Get_Spectrum(channel, static_cast<std::uint8_t>(first),
                                          static_cast<std::uint8_t>(last));
                }
                break;
            case IRC_RET_EQ_DATA_UPDATE:
                link.IRC_Get_EQ(channel, 0, kEqFirstChunkLast);
                if (!stopped())
                    link.IRC_Get_EQ(channel, kEqFirstChunkLast + 1, kCalibrationLastBand);
                break;
            case IRC_RET_TEST_DATA_UPDATE:
                if (shared.spectrumStepSeen) {
                    shared.spectrumStepSeen = false;
                    break;
                }
                reportProgress(shared.progress);
                break;
            default:
                reportProgress(shared.progress);
                break;
        }
        if (!pause()) break;
    }
    if (stopped()) {
        end = PollEnd::Stopped;
        link.IRC_Ctrl(kIrcStop, 0, 0, true);
    }
    shared.running = false;
    LogPrintA("%s\n", "AutoCalThread end, pwm->mIrcStatus=0x%x\n");
    return end;
}

AutoCalibration::AutoCalibration() : mShared(std::make_shared<CalibrationShared>()) {}

void AutoCalibration::SetModule(IrcModule bit, bool on) {
    mModule = static_cast<std::uint8_t>(on ? mModule | bit : mModule & ~bit);
    LogPrintA("mIrcModel %02x\n", mModule);
}

CalibrationRequest AutoCalibration::Prepare(const std::array<bool, kOutputChannels>& channels,
                                            const std::array<bool, kCalibrationTargets>& targets) {
    CalibrationRequest request;
    request.module = mModule;
    request.channels = IrcChannelMask(channels);
    request.eqMode = IrcEqMode(targets);
    mEqMode = request.eqMode;
    LogPrintA("mIrcCh = 0x%x\n", request.channels);
    return request;
}

void AutoCalibration::Begin() {
    mShared = std::make_shared<CalibrationShared>();
    mPhase = Phase::Running;
    mSuccess = false;
    mApplied = false;
}

void AutoCalibration::RequestStop() {
    if (mPhase != Phase::Running) return;
    mPhase = Phase::Stopping;
    mShared->stopRequested = true;
    mShared->wake.Raise();
}

bool AutoCalibration::Accept(int wParam) {
    mShared->ircStatus = wParam;
    return !mShared->stopRequested;
}

AutoCalibration::View AutoCalibration::OnStatus(int status, std::int64_t value) {
    static const char* const kStepTips[] = {nullptr,
                                            "${detect_speaker}",
                                            "${detect_level}",
                                            "${detect_location}",
                                            "${adjust_ch_volume}",
                                            "${compensate_eq}",
                                            "${test_freq_response}"};
    static const char* const kFailTips[] = {"${irc_failed_level}",     "${irc_failed_mic}",
                                            "${irc_failed_speaker}",   "${irc_failed_delay}",
                                            "${irc_failed_ch_volume}", "${irc_failed_eq}"};
    const int number = static_cast<int>(value);
    View view;
    switch (status) {
        case IRC_RET_START_TEST:
        case IRC_RET_SPK_STATUS_TEST:
        case IRC_RET_LEVEL_TEST:
        case IRC_RET_DELAY_TEST:
        case IRC_RET_TRIM_TEST:
        case IRC_RET_EQ_TEST:
        case IRC_RET_SPEAKER_RTA_TEST:
            view.tips = kStepTips[status];
            view.progress = number;
            mShared->progress = number;
            break;
        case IRC_RET_SPEAKER_RTA_UPDATE:
        case IRC_RET_EQ_DATA_UPDATE:
            mShared->channel = number;
            break;
        case IRC_RET_TEST_DATA_UPDATE:
            view.tips = "${test_freq_response}";
            mShared->spectrumStepSeen = true;
            break;
        case IRC_RET_TEST_DONE:
        case IRC_RET_TEST_EXIT:
            view.tips = "${irc_completed}";
            view.progress = number;
            view.runOver = true;
            mShared->progress = number;
            mSuccess = true;
            mPhase = Phase::Idle;
            break;
        case IRC_RET_TEST_FAIL:
            if (number >= 0 && number < static_cast<int>(std::size(kFailTips)))
                view.tips = kFailTips[number];
            view.runOver = true;
            mSuccess = false;
            mPhase = Phase::Idle;
            break;
        default:
            break;
    }
    return view;
}

AutoCalibration::View AutoCalibration::OnPollEnded(PollEnd end) {
    View view;
    if (end == PollEnd::Finished && mPhase == Phase::Idle) return view;
    // A stop, or a link that closed before the amplifier said the run was over.
    view.tips = end == PollEnd::Stopped ? "${irc_stoped}" : "${irc_link_lost}";
    view.runOver = true;
    mPhase = Phase::Idle;
    mSuccess = false;
    mApplied = false;
    return view;
}

AutoCalibration::Command AutoCalibration::Decide(IrcCtrlMode mode) {
    if (mPhase != Phase::Idle || !mSuccess || mApplied) return {};
    mApplied = true;
    return {true, mode, mode == kIrcKeep ? mEqMode : std::uint8_t{0}};
}

AutoCalibration::Command AutoCalibration::Keep() { return Decide(kIrcKeep); }
AutoCalibration::Command AutoCalibration::Discard() { return Decide(kIrcDiscard); }

AutoCalibration::Command AutoCalibration::CloseCommand(bool keep) const {
    if (mApplied) return {};
    if (mSuccess && keep) return {true, kIrcKeep, mEqMode};
    return {true, kIrcDiscard, 0};
}

}  // namespace kavelo

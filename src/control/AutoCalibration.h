#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "control/DspRecords.h"
#include "device/LinkClock.h"
#include "device/LinkWake.h"
#include "device/Records.h"

// The amplifier's automatic calibration as the calibration window runs it:
// what a start asks for, the poll loop of its worker thread, the tables the
// measurements land in, and what each reported step means for the window.
namespace kavelo {

class DeviceLink;

inline constexpr int kCalibrationTargets = 9;  // target presets audio_effect_0 ... 8
inline constexpr int kCalibrationSpectrumPoints = 121;
inline constexpr int kCalibrationLastBand = 10;  // the amplifier computes bands 0 ... 10
inline constexpr int kCalibrationLastPoint = kCalibrationSpectrumPoints - 1;
// The poll loop waits this long after each status poll and again after acting on it.
inline constexpr int kCalibrationHalfPollMs = 500;

// What WM_READ_IRC_VALUE carries in wParam: a status (0 ... 12) with a number,
// or one of three measurement records.
enum IrcValueKind : int {
    IRC_RET_START_TEST = 0,
    IRC_RET_SPK_STATUS_TEST = 1,
    IRC_RET_LEVEL_TEST = 2,
    IRC_RET_DELAY_TEST = 3,
    IRC_RET_TRIM_TEST = 4,
    IRC_RET_EQ_TEST = 5,
    IRC_RET_SPEAKER_RTA_TEST = 6,
    IRC_RET_SPEAKER_RTA_UPDATE = 7,
    IRC_RET_EQ_DATA_UPDATE = 8,
    IRC_RET_TEST_DATA_UPDATE = 9,
    IRC_RET_TEST_DONE = 10,
    IRC_RET_TEST_FAIL = 11,
    IRC_RET_TEST_EXIT = 12,
    IRC_DISTANCE_RECORD = 0x14,
    IRC_EQ_RECORD = 0x16,
    IRC_SPECTRUM_RECORD = 0x1A,
};

// IRC_Ctrl's first byte.
enum IrcCtrlMode : std::uint8_t { kIrcStop = 0, kIrcStart = 1, kIrcKeep = 2, kIrcDiscard = 3 };
// Bits of the module byte (mIrcModel): what is calibrated.
enum IrcModule : std::uint8_t { kIrcModuleEq = 1, kIrcModuleDelay = 2, kIrcModulePhase = 4 };

// Bit i set for each checked channel i.
std::uint16_t IrcChannelMask(const std::array<bool, kOutputChannels>& checked);
// 0 when no target is checked, else 1 + the index of the first checked one.
std::uint8_t IrcEqMode(const std::array<bool, kCalibrationTargets>& checked);
bool IsFinalIrcStatus(int status);

// ---- measurement tables ---------------------------------------------------------------

struct SpectrumSample {
    float level = 0.0f;  // dB
    int freq = 0;        // Hz
};
using CalibrationBands = std::array<EqBand, kEqBands>;
using CalibrationSpectrum = std::array<SpectrumSample, kCalibrationSpectrumPoints>;

// Flat bands (0 dB, Q 5.8, enabled) at the 31 ISO third-octave centres: the
// starting EQ of every channel and the target bands before each computation.
CalibrationBands FlatCalibrationBands();
// Level 0 at 20 + 19 980 * i / 121 Hz (integer division).
CalibrationSpectrum DefaultCalibrationSpectrum();

// The computed EQ and the measured spectrum of the eight outputs.
class CalibrationTables {
public:
    CalibrationTables();
    const CalibrationBands& Bands(int channel) const { return mBands[channel]; }
    const CalibrationSpectrum& Spectrum(int channel) const { return mSpectrum[channel]; }
    // Store one record. They return true when the channel's curve is due to be
    // drawn again (the EQ after band 10, the spectrum after point 120). A record
    // naming a channel, band or point the tables do not have is dropped (logged)
    // and returns false: the numbers come from the amplifier.
    bool StoreEqBand(const IrcEqBandRecord& record);
    bool StoreSpectrumPoint(const IrcSpectrumRecord& record);

private:
    std::array<CalibrationBands, kOutputChannels> mBands;
    std::array<CalibrationSpectrum, kOutputChannels> mSpectrum;
};

// ---- the worker's poll loop ------------------------------------------------------------

// What a run asks the amplifier for.
struct CalibrationRequest {
    std::uint8_t module = 0;
    std::uint16_t channels = 0;
    std::uint8_t eqMode = 0;
};

// The values the poll thread and the window share. The window writes the
// status, channel and progress from the messages it receives; the thread reads
// them. Each run gets a fresh set.
struct CalibrationShared {
    std::atomic<int> ircStatus{0};
    std::atomic<int> channel{0};
    std::atomic<int> progress{0};
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> spectrumStepSeen{false};
    // Raised with a stop (or to let a finished loop end at once): the waits end early.
    LinkWake wake;
};

enum class PollEnd {
    Finished,    // a final status arrived
    Stopped,     // the window asked to stop; the amplifier was told
    LinkClosed,  // the link closed under the run
};

// AutoCalThread's body: selects the modules, starts the run and polls the
// status (once a second on `clock`), fetching the spectrum and the EQ when the
// amplifier announces them, until a final status, a stop or a closed link.
// A stop is sent to the amplifier from here, after the exchange in progress.
// `reportProgress` gets the progress after a poll without anything to fetch.
PollEnd RunCalibrationPoll(DeviceLink& link, LinkClock& clock, CalibrationShared& shared,
                           const CalibrationRequest& request,
                           const std::function<void(int progress)>& reportProgress);

// ---- the run as the window sees it -----------------------------------------------------

// On the UI thread: the phase of the run, the options that make a request,
// the result's state and what each report means for the window.
class AutoCalibration {
public:
    enum class Phase { Idle, Running, Stopping };
    // What the window shows after a report.
    struct View {
        const char* tips = nullptr;  // a language key; null leaves the text
        int progress = -1;           // -1 leaves the bar
        bool runOver = false;        // start button reads "${start_irc}", it and close enabled
    };
    // A command to the amplifier for keep, discard or closing.
    struct Command {
        bool send = false;
        IrcCtrlMode mode = kIrcDiscard;
        std::uint8_t eqMode = 0;
    };

    AutoCalibration();

    Phase GetPhase() const { return mPhase; }
    bool Success() const { return mSuccess; }
    bool Applied() const { return mApplied; }
    CalibrationShared& Shared() { return *mShared; }
    const CalibrationShared& Shared() const { return *mShared; }
    std::shared_ptr<CalibrationShared> SharedPtr() const { return mShared; }

    // mIrcModel: one bit per module option.
    void SetModule(IrcModule bit, bool on);
    std::uint8_t Module() const { return mModule; }
    // The request the options stand for; kept as the run's EQ mode.
    CalibrationRequest Prepare(const std::array<bool, kOutputChannels>& channels,
                               const std::array<bool, kCalibrationTargets>& targets);

    // A confirmed start: a fresh shared set, phase Running, nothing applied.
    void Begin();
    // Stop asked during a run: the poll thread stops and tells the amplifier.
    void RequestStop();
    // Every WM_READ_IRC_VALUE first: records the status; false when the
    // message must be dropped because a stop was asked.
    bool Accept(int wParam);
    // A status 0 ... 12 (after Accept).
    View OnStatus(int status, std::int64_t value);
    // The poll thread has ended.
    View OnPollEnded(PollEnd end);

    // irc_save_data / irc_cancel_data: without a finished, undecided result
    // nothing is sent and the window says "${irc_start_tips}".
    Command Keep();
    Command Discard();
    // The amplifier did not answer the keep or discard: the result stays undecided.
    void DecisionUnanswered() { mApplied = false; }
    // Closing: whether to ask "${irc_apply_tips}" first, then what to send for
    // the answer and the window's result (1: the amplifier's data changed).
    bool AskApplyOnClose() const { return mSuccess && !mApplied; }
    Command CloseCommand(bool keep) const;
    int CloseResult(bool keep) const { return mApplied || (mSuccess && keep) ? 1 : 0; }

private:
    Command Decide(IrcCtrlMode mode);

    std::shared_ptr<CalibrationShared> mShared;
    Phase mPhase = Phase::Idle;
    std::uint8_t mModule = 0;
    std::uint8_t mEqMode = 0;
    bool mSuccess = false;
    bool mApplied = false;
};

}  // namespace kavelo

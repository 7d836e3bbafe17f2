#include <gtest/gtest.h>

#include <string>

#include "control/AutoCalibration.h"

// The calibration run's rules without a window: what a start asks for, what each
// reported status shows, when a result may be kept or discarded and what closing does.
namespace kavelo {
namespace {

TEST(AutoCalibrationRequest, ChannelMaskAndEqModeFromTheOptions) {
    std::array<bool, kOutputChannels> channels{};
    EXPECT_EQ(IrcChannelMask(channels), 0);
    channels[0] = channels[2] = channels[7] = true;
    EXPECT_EQ(IrcChannelMask(channels), 0x85);

    struct Row {
        std::initializer_list<int> checked;
        int eqMode;
    };
    for (const Row& r : {Row{{}, 0}, Row{{2}, 3}, Row{{0}, 1}, Row{{8}, 9}, Row{{5, 3}, 4}}) {
        std::array<bool, kCalibrationTargets> targets{};
        for (int t : r.checked) targets[t] = true;
        EXPECT_EQ(IrcEqMode(targets), r.eqMode) << r.eqMode;
    }
}

TEST(AutoCalibrationRequest, ModulesAreBitsAndThePreparedRequestCarriesThem) {
    AutoCalibration run;
    run.SetModule(kIrcModulePhase, true);
    run.SetModule(kIrcModuleEq, true);
    run.SetModule(kIrcModulePhase, false);
    run.SetModule(kIrcModuleDelay, true);
    EXPECT_EQ(run.Module(), 0x03);
    std::array<bool, kOutputChannels> channels{};
    channels[1] = true;
    std::array<bool, kCalibrationTargets> targets{};
    targets[6] = true;
    const CalibrationRequest request = run.Prepare(channels, targets);
    EXPECT_EQ(request.module, 0x03);
    EXPECT_EQ(request.channels, 0x02);
    EXPECT_EQ(request.eqMode, 7);
}

TEST(AutoCalibrationStatus, EachStatusShowsItsStep) {
    struct Row {
        int status;
        std::int64_t value;
        const char* tips;  // nullptr: unchanged
        int progress;      // -1: unchanged
        bool runOver;
    };
    const Row rows[] = {
        {0, 5, nullptr, 5, false},
        {1, 10, "${detect_speaker}", 10, false},
        {2, 20, "${detect_level}", 20, false},
        {3, 35, "${detect_location}", 35, false},
        {4, 50, "${adjust_ch_volume}", 50, false},
        {5, 60, "${compensate_eq}", 60, false},
        {6, 70, "${test_freq_response}", 70, false},
        {7, 3, nullptr, -1, false},
        {8, 3, nullptr, -1, false},
        {9, 95, "${test_freq_response}", -1, false},
        {10, 100, "${irc_completed}", 100, true},
        {12, 0, "${irc_completed}", 0, true},
        {11, 0, "${irc_failed_level}", -1, true},
        {11, 1, "${irc_failed_mic}", -1, true},
        {11, 2, "${irc_failed_speaker}", -1, true},
        {11, 3, "${irc_failed_delay}", -1, true},
        {11, 4, "${irc_failed_ch_volume}", -1, true},
        {11, 5, "${irc_failed_eq}", -1, true},
        {11, 9, nullptr, -1, true},
    };
    for (const Row& r : rows) {
        AutoCalibration run;
        run.Begin();
        ASSERT_TRUE(run.Accept(r.status));
        const AutoCalibration::View view = run.OnStatus(r.status, r.value);
        const std::string what = std::to_string(r.status) + "/" + std::to_string(r.value);
        EXPECT_EQ(view.tips ? std::string(view.tips) : "-", r.tips ? r.tips : "-") << what;
        EXPECT_EQ(view.progress, r.progress) << what;
        EXPECT_EQ(view.runOver, r.runOver) << what;
        EXPECT_EQ(run.Success(), r.status == 10 || r.status == 12) << what;
        EXPECT_EQ(run.GetPhase() == AutoCalibration::Phase::Idle, r.runOver) << what;
    }
}

TEST(AutoCalibrationStatus, AnnouncementsNameTheChannelForTheWorker) {
    AutoCalibration run;
    run.Begin();
    run.OnStatus(IRC_RET_SPEAKER_RTA_UPDATE, 6);
    EXPECT_EQ(run.Shared().channel, 6);
    run.OnStatus(IRC_RET_TEST_DATA_UPDATE, 95);
    EXPECT_TRUE(run.Shared().spectrumStepSeen);
    run.OnStatus(IRC_RET_EQ_TEST, 60);
    EXPECT_EQ(run.Shared().progress, 60);
}

TEST(AutoCalibrationStatus, AfterAStopNothingIsTakenButTheStatusIsKept) {
    AutoCalibration run;
    run.Begin();
    run.RequestStop();
    EXPECT_EQ(run.GetPhase(), AutoCalibration::Phase::Stopping);
    EXPECT_TRUE(run.Shared().wake.IsRaised());
    EXPECT_FALSE(run.Accept(IRC_RET_TEST_DONE));
    EXPECT_EQ(run.Shared().ircStatus, IRC_RET_TEST_DONE);
    const AutoCalibration::View view = run.OnPollEnded(PollEnd::Stopped);
    EXPECT_STREQ(view.tips, "${irc_stoped}");
    EXPECT_TRUE(view.runOver);
    EXPECT_FALSE(run.Success());
    EXPECT_EQ(run.GetPhase(), AutoCalibration::Phase::Idle);
}

TEST(AutoCalibrationStatus, ALinkClosingUnderTheRunEndsIt) {
    AutoCalibration run;
    run.Begin();
    const AutoCalibration::View view = run.OnPollEnded(PollEnd::LinkClosed);
    EXPECT_STREQ(view.tips, "${irc_link_lost}");
    EXPECT_EQ(run.GetPhase(), AutoCalibration::Phase::Idle);
    // A run that ended with its final status has already been shown.
    AutoCalibration finished;
    finished.Begin();
    finished.OnStatus(IRC_RET_TEST_DONE, 100);
    EXPECT_EQ(finished.OnPollEnded(PollEnd::Finished).tips, nullptr);
    EXPECT_TRUE(finished.Success());
}

// Keep, discard and the three ways of closing.
TEST(AutoCalibrationResult, DecisionsNeedAFinishedUndecidedRun) {
    auto finished = [](int eqModeTarget) {
        AutoCalibration run;
        run.SetModule(kIrcModuleEq, true);
        std::array<bool, kCalibrationTargets> targets{};
        if (eqModeTarget >= 0) targets[eqModeTarget] = true;
        run.Prepare({}, targets);
        run.Begin();
        run.OnStatus(IRC_RET_TEST_DONE, 100);
        return run;
    };
    AutoCalibration idle;
    EXPECT_FALSE(idle.Keep().send);
    AutoCalibration running;
    running.Begin();
    EXPECT_FALSE(running.Discard().send);

    AutoCalibration kept = finished(2);
    const AutoCalibration::Command keep = kept.Keep();
    EXPECT_TRUE(keep.send);
    EXPECT_EQ(keep.mode, kIrcKeep);
    EXPECT_EQ(keep.eqMode, 3);
    EXPECT_FALSE(kept.Discard().send);  // decided once
    EXPECT_FALSE(kept.AskApplyOnClose());
    EXPECT_FALSE(kept.CloseCommand(false).send);
    EXPECT_EQ(kept.CloseResult(false), 1);

    AutoCalibration discarded = finished(-1);
    EXPECT_EQ(discarded.Discard().mode, kIrcDiscard);
    EXPECT_EQ(discarded.CloseResult(false), 1);  // the amplifier's data is read again

    AutoCalibration undecided = finished(4);
    EXPECT_TRUE(undecided.AskApplyOnClose());
    EXPECT_EQ(undecided.CloseCommand(true).mode, kIrcKeep);
    EXPECT_EQ(undecided.CloseCommand(true).eqMode, 5);
    EXPECT_EQ(undecided.CloseResult(true), 1);
    EXPECT_EQ(undecided.CloseCommand(false).mode, kIrcDiscard);
    EXPECT_EQ(undecided.CloseResult(false), 0);

    AutoCalibration unanswered = finished(0);
    ASSERT_TRUE(unanswered.Keep().send);
    unanswered.DecisionUnanswered();
    EXPECT_TRUE(unanswered.AskApplyOnClose());
    EXPECT_TRUE(unanswered.Keep().send);

    AutoCalibration never;
    EXPECT_FALSE(never.AskApplyOnClose());
    EXPECT_TRUE(never.CloseCommand(true).send);
    EXPECT_EQ(never.CloseCommand(true).mode, kIrcDiscard);
    EXPECT_EQ(never.CloseResult(true), 0);
}

TEST(CalibrationTables, StartFlatAtTheIsoCentresAndTheSpectrumGrid) {
    const CalibrationTables tables;
    const CalibrationBands& bands = tables.Bands(5);
    EXPECT_EQ(bands[0].freq, 20);
    EXPECT_EQ(bands[17].freq, 1000);
    EXPECT_EQ(bands[30].freq, 20000);
    for (const EqBand& b : bands) {
        EXPECT_EQ(b.eqGain, 0.0f);
        EXPECT_FLOAT_EQ(b.eqFactor, 5.8f);
        EXPECT_EQ(b.enable, 1);
    }
    EXPECT_EQ(tables.Spectrum(3)[0].freq, 20);
    EXPECT_EQ(tables.Spectrum(3)[1].freq, 185);  // 20 + 19980 / 121
    EXPECT_EQ(tables.Spectrum(3)[120].freq, 19834);
}

TEST(CalibrationTables, RecordsLandInTheirSlotsAndTheLastOneCompletesTheCurve) {
    CalibrationTables tables;
    EXPECT_FALSE(tables.StoreEqBand({2, 9, 5000, 1.41f, -2.5f}));
    EXPECT_TRUE(tables.StoreEqBand({2, 10, 10000, 1.41f, 3.0f}));
    EXPECT_EQ(tables.Bands(2)[9].freq, 5000);
    EXPECT_FLOAT_EQ(tables.Bands(2)[9].eqGain, -2.5f);
    EXPECT_FLOAT_EQ(tables.Bands(2)[10].eqFactor, 1.41f);
    EXPECT_EQ(tables.Bands(1)[9].freq, 160);  // the other channels keep theirs

    EXPECT_FALSE(tables.StoreSpectrumPoint({4, 119, 19670.75f, -3.25f}));
    EXPECT_TRUE(tables.StoreSpectrumPoint({4, 120, 19834.99f, 1.5f}));
    EXPECT_EQ(tables.Spectrum(4)[119].freq, 19670);  // toward zero
    EXPECT_FLOAT_EQ(tables.Spectrum(4)[120].level, 1.5f);
}

TEST(CalibrationTables, RecordsOutsideTheTablesAreDropped) {
    CalibrationTables tables;
    const CalibrationTables untouched;
    const IrcEqBandRecord bands[] = {
        {8, 0, 100, 1, 1}, {-1, 0, 100, 1, 1}, {0, 31, 100, 1, 1}, {0, -2, 100, 1, 1}};
    for (const IrcEqBandRecord& r : bands) EXPECT_FALSE(tables.StoreEqBand(r));
    const IrcSpectrumRecord points[] = {{9, 120, 100, 1}, {0, 121, 100, 1}, {0, -1, 100, 1}};
    for (const IrcSpectrumRecord& r : points) EXPECT_FALSE(tables.StoreSpectrumPoint(r));
    for (int c = 0; c < kOutputChannels; ++c) {
        for (int b = 0; b < kEqBands; ++b)
            EXPECT_EQ(tables.Bands(c)[b].freq, untouched.Bands(c)[b].freq);
        for (int i = 0; i < kCalibrationSpectrumPoints; ++i)
            EXPECT_EQ(tables.Spectrum(c)[i].level, untouched.Spectrum(c)[i].level);
    }
}

}  // namespace
}  // namespace kavelo

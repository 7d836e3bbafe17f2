#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "RunCli.h"
#include "device/LinkClock.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo::test {

// Real time, but the link's fixed pauses (scene settling, amplifier restarts)
// return at once.
class NoSleepClock : public LinkClock {
public:
    std::int64_t NowMs() override { return mReal.NowMs(); }
    void SleepMs(std::int64_t ms) override {
        slept += ms;
        std::this_thread::yield();
    }
    // The pause between read retries stays real, so a dead handle does not spin.
    bool WaitMs(std::int64_t ms, LinkWake& wake) override { return mReal.WaitMs(ms, wake); }
    std::int64_t slept = 0;

private:
    RealLinkClock mReal;
};

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs kavelo-cli in-process against a virtual amplifier of the test's own.
class CliFixture : public ::testing::Test {
protected:
    CliRun Run(const std::vector<std::string>& args) { return RunWith(amp, args); }

    CliRun RunWith(std::shared_ptr<VirtualAmplifier> target, const std::vector<std::string>& args) {
        cli::CliEnvironment env;
        env.clock = &clock;
        env.portFactory = [target](bool) -> std::shared_ptr<HidPort> { return target; };
        std::ostringstream out, err;
        CliRun run;
        run.code = cli::RunCli(args, out, err, env);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    std::shared_ptr<VirtualAmplifier> amp = std::make_shared<VirtualAmplifier>();
    NoSleepClock clock;
};

// Exactly one line of error text.
inline bool OneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

}  // namespace kavelo::test

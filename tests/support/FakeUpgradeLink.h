#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "firmware/UpgradeEngine.h"

// A device link whose amplifier answers upgrade commands from a script, for
// engine tests.
namespace kavelo {

enum class Ack { Ready, NotReady };
constexpr std::uint8_t kReady = 0x0A;
constexpr std::uint8_t kNotReady = 0x60;

struct Written {
    std::uint8_t cls;
    std::uint8_t sub;
    std::vector<std::uint8_t> payload;
};

// A link whose amplifier answers from a script. Acknowledgements move the
// upgrade state by the same rules as the link's decoders.
class FakeUpgradeLink : public UpgradeLinkPort {
public:
    // Replies queued for each written command, in the order they are read.
    std::function<std::vector<Ack>(const Written&)> replies = [](const Written& w) {
        const bool noReply = (w.cls == 3 && (w.sub == 0x04 || w.sub == 0xA3 || w.sub == 0x8F)) ||
                             (w.cls == 2 && w.sub == 0x05);
        return noReply ? std::vector<Ack>{} : std::vector<Ack>{Ack::Ready};
    };
    bool normalMode = true;
    bool open = true;
    int opensBeforeBack = 0;     // failing opens after a close
    int unplugAfterWrites = -1;  // the device vanishes after this many writes
    bool failWrites = false;
    int failWriteAt = 0;  // only the nth write attempt (1-based) fails; 0: none
    int silentReads = 0;  // the next reads time out even when a reply is due
    // The next reads that find a reply lose it to another reader: it is
    // decoded (the state moves) but this read times out.
    int stolenAcks = 0;
    std::int32_t state = UPG_IDLE;
    int ackWait = ACK_WAIT_NONE;

    std::vector<Written> writes;
    std::vector<std::string> events;  // close, open, sleep <ms>
    int reads = 0;
    int emptied = 0;
    std::vector<int> timeouts;  // of every read
    // Time each write and each read takes, as USB frames would.
    std::chrono::microseconds latency{0};

    std::uint8_t ModelId() override { return 87; }
    bool IsDeviceOpen() override { return open; }
    bool IsMcuNormalMode() override { return normalMode; }
    void OpenDevice() override {
        events.push_back("open");
        if (unplugged) return;
        if (opensBeforeBack > 0) {
            --opensBeforeBack;
            return;
        }
        open = true;
    }
    void CloseDeviceQuietly() override {
        events.push_back("close");
        open = false;
        pending.clear();
    }
    void EmptyReceiveRing() override { ++emptied; }
    bool SendSet(std::uint8_t cmd, std::uint8_t subcmd, const std::uint8_t* payload,
                 std::uint8_t len) override {
        if (!open || failWrites || ++writeAttempts == failWriteAt) return false;
        Wait();
        Written w{cmd, subcmd, std::vector<std::uint8_t>(payload, payload + len)};
        writes.push_back(w);
        for (Ack a : replies(w)) pending.push_back({cmd, subcmd, a});
        if (unplugAfterWrites >= 0 && static_cast<int>(writes.size()) >= unplugAfterWrites) {
            open = false;
            unplugged = true;
            pending.clear();
        }
        return true;
    }
    bool ReadReply(int timeoutMs, std::vector<std::uint8_t>& report) override {
        timeouts.push_back(timeoutMs);
        ++reads;
        Wait();
        if (silentReads > 0) {
            --silentReads;
            return false;
        }
        if (!open || pending.empty()) return false;
        const Reply r = pending.front();
        pending.pop_front();
        const std::uint8_t s = r.ack == Ack::Ready ? kReady : kNotReady;
        Decode(r.cls, r.sub, s);
        if (stolenAcks > 0) {
            --stolenAcks;
            return false;
        }
        report = {0xAA, 0x55, 0x04, r.cls, r.sub, 0xEE, s};
        return true;
    }
    void SleepMs(int ms) override { events.push_back("sleep " + std::to_string(ms)); }
    std::int32_t UpgradeState() override { return state; }
    void SetUpgradeState(std::int32_t s) override { state = s; }
    int AckWait() override { return ackWait; }
    void SetAckWait(int a) override { ackWait = a; }

    std::vector<Written> DataWrites() const {
        std::vector<Written> out;
        for (const auto& w : writes)
            if ((w.cls == 3 && (w.sub == 0x03 || w.sub == 0xA2)) || (w.cls == 2 && w.sub == 0x04))
                out.push_back(w);
        return out;
    }

private:
    void Wait() {
        if (latency.count() == 0) return;
        // Spin to the deadline: sleeping overshoots by more than the latency's grain.
        const auto until = std::chrono::steady_clock::now() + latency;
        while (std::chrono::steady_clock::now() < until) {
        }
    }
    struct Reply {
        std::uint8_t cls;
        std::uint8_t sub;
        Ack ack;
    };
    void Decode(std::uint8_t cls, std::uint8_t sub, std::uint8_t s) {
        if (cls == 3) {
            if ((sub == 0x01 || sub == 0xA0) && s == kReady) state = UPG_START;
            if (sub == 0x02 || sub == 0xA1) state = s == kReady ? UPG_SEND_BIN_DATA : UPG_FAIL;
            if ((sub == 0x03 || sub == 0xA2) && s == kReady && state == UPG_WAITING_BIN_DATA_ACK)
                state = UPG_SEND_BIN_DATA;
        } else if (cls == 2) {
            if (sub == 0x03 && s == kReady && state == UPG_START) state = UPG_SEND_BIN_DATA;
            if (sub == 0x03 && s == kNotReady) state = UPG_FAIL;
            if (sub == 0x04 && s == kReady && state == UPG_WAITING_BIN_DATA_ACK)
                state = UPG_SEND_BIN_DATA;
        }
    }
    std::deque<Reply> pending;
    bool unplugged = false;
    int writeAttempts = 0;
};

}  // namespace kavelo

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/UpgradeImage.h"
#include "firmware/UpgradeTransfer.h"

// The block-by-block firmware transfer. The engine keeps the parsed images
// and its own bookkeeping; everything it needs of the device link goes
// through UpgradeLinkPort, so the link keeps its transport, its exchange lock
// and the decoding of acknowledgements (which moves the upgrade state).
namespace kavelo {

// Packet classes and kind used by the upgrade commands.
inline constexpr std::uint8_t kUpgClassFlash = 2;
inline constexpr std::uint8_t kUpgClassMcu = 3;
inline constexpr std::uint8_t kUpgOpSet = 0xBB;

class UpgradeLinkPort {
public:
    virtual ~UpgradeLinkPort() = default;

    virtual std::uint8_t ModelId() = 0;
    virtual bool IsDeviceOpen() = 0;
    // Whether the amplifier runs its application (not its loader).
    virtual bool IsMcuNormalMode() = 0;
    virtual void OpenDevice() = 0;
    // Closes without telling the amplifier (it is about to restart).
    virtual void CloseDeviceQuietly() = 0;
    virtual void EmptyReceiveRing() = 0;
    // Writes one OP_SET command; true when the write succeeded.
    virtual bool SendSet(std::uint8_t cmd, std::uint8_t subcmd, const std::uint8_t* payload,
                         std::uint8_t len) = 0;
    // Reads one report with the time-out and decodes it (which may move the
    // upgrade state). True when a report arrived; `report` gets its bytes.
    virtual bool ReadReply(int timeoutMs, std::vector<std::uint8_t>& report) = 0;
    // A command and the read of its reply as one exchange, so that no other
    // thread's read takes the reply. `written` tells whether the write went
    // out; nothing is read when it did not.
    virtual bool Exchange(std::uint8_t cmd, std::uint8_t subcmd, const std::uint8_t* payload,
                          std::uint8_t len, int timeoutMs, std::vector<std::uint8_t>& report,
                          bool* written) {
        *written = SendSet(cmd, subcmd, payload, len);
        return *written && ReadReply(timeoutMs, report);
    }
    virtual void SleepMs(int ms) = 0;
    // The link's upgrade state (sys_upg_status).
    virtual std::int32_t UpgradeState() = 0;
    virtual void SetUpgradeState(std::int32_t state) = 0;
    // The link's acknowledgement wait (AckWait), one of UpgradeAckWait. The
    // engine keeps no copy: the link's member is the only one.
    virtual int AckWait() = 0;
    virtual void SetAckWait(int ackWait) = 0;
};

// Waits of the transfer. The defaults are the amplifier's; tests shorten
// nothing but run them on a fake sleeper.
struct UpgradeTiming {
    int replyReadMs = 10000;   // enter, start, reboot and acknowledgement reads
    int restartWaitMs = 8000;  // the amplifier restarting into its loader
    int reopenAttempts = 10;   // opening it again afterwards
    int reopenIntervalMs = 500;
    int maxAckReadTimeouts = 3;  // consecutive silent reads before giving up
    int maxUnreadyReports = 64;  // reports without ACK_READY for one block
};

class UpgradeEngine {
public:
    // Parses the file, puts the amplifier into upgrade mode, reconnects when
    // it restarts and sends the start command. Returns an UpgradeResult.
    int Start(UpgradeLinkPort& link, const std::string& path);
    // One action per call; 0..100 progress, kUpgradeStepDone or
    // kUpgradeStepFailed, after which the engine is idle. Blocks at most one
    // reply read.
    std::uint8_t Step(UpgradeLinkPort& link);

    const UpgradeImages& Images() const { return mImages; }
    UpgradeTiming& Timing() { return mTiming; }

private:
    // Result of sending the enter command: sent (the acknowledgement, if any,
    // was read), not written, or no enter command for this kind.
    enum class EnterResult { Sent, WriteFailed, UnknownKind };
    EnterResult SendEnter(UpgradeLinkPort& link);
    int SendStart(UpgradeLinkPort& link);
    void Reconnect(UpgradeLinkPort& link);
    void ReadAck(UpgradeLinkPort& link);
    void SendNext(UpgradeLinkPort& link);
    std::uint8_t End(UpgradeLinkPort& link, bool finished);
    // Returns whether the command was written.
    bool SendAndRead(UpgradeLinkPort& link, std::uint8_t cmd, std::uint8_t subcmd,
                     const std::uint8_t* payload, std::uint8_t len,
                     std::vector<std::uint8_t>& report);
    void Abandon(UpgradeLinkPort& link);

    UpgradeImages mImages;
    UpgradeTiming mTiming;
    int mSilentReads = 0;     // consecutive acknowledgement reads without a report
    int mUnreadyReports = 0;  // reports read for the current block without ACK_READY
    UpgradeBlock mLastBlock;  // the block whose acknowledgement is awaited
};

}  // namespace kavelo

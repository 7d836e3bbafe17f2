#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "device/HidPort.h"
#include "device/PacketCodec.h"
#include "sim/AmplifierState.h"

// The amplifier's side of the link, behind the same HID seam as the real
// device: it parses host reports with the link's codec, keeps its own state and
// answers as the amplifier does. Also the record of what we believe the
// amplifier does, so it stays close to the observed protocol. Where the host's
// two directions disagree, it converts: an EQ Q written as whole part and
// tenths is kept and reported as whole part and hundredths.
//
// Linked outputs: the host changes a linked partner only in its own model when
// it links, and sends each link pair as (from, to). So `CH_Link_Ctrl` with link
// 1 copies each pair's crossover, EQ bands and EQ bypass from `from` to `to`,
// pair by pair in the order sent; while link is on, a crossover, EQ band, EQ
// bypass or EQ reset of one output of a pair is applied to its partner as well
// (either way round). Volume, delay, mute and phase stay each output's own.
// Link 0 ends the mirroring and copies nothing.
namespace kavelo {

class VirtualAmplifier : public HidPort {
public:
    using Clock = std::chrono::steady_clock;
    using InputReport = std::array<std::uint8_t, kInputReportSize>;

    VirtualAmplifier();
    ~VirtualAmplifier() override;

    // --- HidPort ---
    int Init() override;
    // Null while unplugged or when the ids are not the amplifier's.
    std::unique_ptr<HidDevice> Open(std::uint16_t vendorId, std::uint16_t productId) override;

    // --- identity ---
    void SetModel(int model);
    void SetVersions(int master, int slave);
    // In loader mode the amplifier runs no application and says so on the handshake.
    void SetLoaderMode(bool loader);
    void SetFlashVersion(const std::array<std::uint8_t, 4>& version);
    void SetInitResult(int result);

    // --- plugging ---
    void Plug();
    // Pulls the cable: open handles fail from now on, Open finds nothing.
    void Unplug();
    bool IsPlugged() const;
    // Number of restarts (re-enumerations), e.g. after a factory reset.
    int RestartCount() const;
    // Whether the host last said it is connected (PC_Connect).
    bool HostConnected() const;
    // Told of every change of enumeration, as the system's device
    // notifications would tell: false when the interface went away (cable
    // pulled, restart begun), true when one appeared (plugged in, back from a
    // restart). Called in the order of the changes, on the thread that caused
    // them, outside the amplifier's lock; setting another observer (or none)
    // waits for a call under way.
    void SetEnumerationObserver(std::function<void(bool present)> observer);

    // --- fault injection ---
    // Answer nothing at all.
    void SetSilent(bool silent);
    // Every reply becomes readable only this long after the command.
    void SetReplyDelay(std::chrono::milliseconds delay);
    // While held, replies stay queued: reads wait as if nothing had come. For
    // tests that need a reply to be late without racing a clock.
    void HoldReplies(bool hold);
    // Holds the replies (as HoldReplies(true)) the moment the n-th upgrade data
    // block arrives, so a test can act in the middle of a transfer without
    // racing it; 0 never does.
    void HoldRepliesAtUpgradeBlock(int n);
    // The longest wait a read was asked for since the last call (then reset).
    int TakeLongestReadWaitMs();
    // Every report becomes readable this long after the previous one (USB frames).
    void SetReportLatency(std::chrono::milliseconds latency);
    // Replies carry a wrong checksum.
    void SetBadChecksum(bool bad);
    // Each reply is split over two transfers after `firstPart` bytes (0: off).
    // The parts arrive as short reads, so padding does not land inside the
    // packet; the host must join them across reads.
    void SetSplitReplies(std::size_t firstPart);
    // The amplifier is unplugged when the host writes its nth report (1-based;
    // that write fails). 0 switches this off.
    void UnplugAtExchange(int n);
    // The next n scene saves are acknowledged as not done and store nothing,
    // as a flash that no longer writes.
    void RefuseSceneSaves(int n);

    // --- DSP settings, scenes and memory (wire values, see AmplifierState.h) ---
    AmpLiveState LiveState() const;
    void SetLiveState(const AmpLiveState& live);
    // Stored scene k (1..10) as kept in flash; an erased scene for another k.
    AmpStoredScene StoredSceneState(int k) const;
    // Presets stored scene k (1..10); also what queries of scene k answer.
    void SetStoredScene(int k, const AmpStoredScene& scene);
    // The scene last loaded or saved (0: none).
    int CurrentSceneId() const;
    void SetMemoryWord(std::uint32_t address, std::uint32_t data);
    // Everything the amplifier keeps across a power cycle, and its restore.
    AmplifierSnapshot Snapshot() const;
    void Restore(const AmplifierSnapshot& snapshot);
    // Called after every command that changed stored scenes, names or the
    // valid set, with the state after it; runs on the writing thread without
    // the amplifier's lock held, so it may call back into the amplifier.
    void SetSceneStoreObserver(std::function<void(const AmplifierSnapshot&)> observer);

    // --- automatic calibration ---
    // The next run fails with status 11 and `reason` once it reaches `status`
    // (1..9); a negative status lets runs succeed again.
    void ScriptCalibrationFailure(int status, int reason);
    // Whether a run is going, and what the last one left behind.
    bool CalibrationRunning() const;
    int CalibrationModule() const;
    // The level a run measures on output `channel` at spectrum point 0 ... 120, in
    // hundredths of a dB.
    static int CalibrationLevelHundredths(int channel, int point);

    // --- unsolicited reports ---
    // DSP status report; 0 says the DSP is off.
    void SendDspStatus(std::uint8_t on);
    void SendInputThreshold(std::int8_t threshold);
    void SendPing();
    void SendVersionReport();
    void SendInitNotice();
    // Any raw packet, for tests of the host's decoders.
    void SendPacket(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                    const std::vector<std::uint8_t>& payload);
    // Raw report bytes exactly as given (padded to 64), for framing tests.
    void SendRawReport(const std::vector<std::uint8_t>& bytes);

    // --- observation ---
    std::vector<OutputReport> WrittenReports() const;
    std::size_t WriteCount() const;
    void ClearWrittenReports();
    // Waits up to `timeout` until at least n reports have been written.
    bool WaitForWrites(std::size_t n, std::chrono::milliseconds timeout) const;
    // Waits up to `timeout` until a host read is waiting for a report.
    bool WaitForWaitingRead(std::chrono::milliseconds timeout) const;
    std::size_t PendingReportCount() const;

    // ---- firmware upgrade side (VirtualAmplifierUpgrade.cpp) ----
    enum class UpgradeTarget { McuApplication, Bootloader, DspFlash };
    // One data block as it arrived: MCU and bootloader blocks with all 32
    // payload bytes (zero fill included), DSP blocks with their n bytes.
    struct UpgradeBlockRecord {
        UpgradeTarget target = UpgradeTarget::McuApplication;
        std::uint32_t offset = 0;
        std::vector<std::uint8_t> bytes;
    };
    // Every data block received since construction, in arrival order.
    std::vector<UpgradeBlockRecord> UpgradeBlocks() const;
    // The start parameter of the last upgrade started.
    std::array<std::uint8_t, 4> UpgradeStartParameter() const;
    // Bootloader version taken from the last bootloader image installed (0: none).
    int BootloaderVersion() const;
    // Faults: every data block is answered with `count` ACK_NOT_READY first;
    // the start command is refused; the cable is pulled right after data block
    // n (1-based, counted per upgrade) arrived, before it is acknowledged.
    void SetUpgradeNotReadyAcks(int count);
    void SetRefuseUpgradeStart(bool refuse);
    void UnplugAtUpgradeBlock(int n);

private:
    struct UpgradeSession {
        bool active = false;
        UpgradeTarget target = UpgradeTarget::McuApplication;
        std::vector<std::uint8_t> image;  // assembled from the blocks
        std::int64_t next = -1;           // MCU kinds: offset of the next block
        int blocks = 0;
        bool intact = true;     // every block came where it belongs
        bool finished = false;  // DSP: installed at the reboot
    };
    UpgradeSession mUpgrade;
    std::vector<UpgradeBlockRecord> mUpgradeBlocks;
    std::array<std::uint8_t, 4> mUpgradeStartParam{};
    int mBootloaderVersion = 0;
    int mUpgradeNotReadyAcks = 0;
    bool mRefuseUpgradeStart = false;
    int mUnplugAtUpgradeBlock = 0;
    void UpgradeData(const Packet& packet, std::uint8_t cmd);
    void UpgradeFinish(std::uint8_t cmd, std::uint8_t subcmd);
    // ---- end of the upgrade side ----

private:
    class Device;
    friend class Device;

    struct PendingReport {
        Clock::time_point readyAt;
        InputReport bytes{};
        std::size_t length = kInputReportSize;  // bytes the read returns
        bool restartAfter = false;              // the amplifier restarts once this was read
    };

    // Called by the device objects; `generation` identifies the enumeration
    // the handle belongs to.
    int DeviceWrite(std::uint64_t generation, const std::uint8_t* data, std::size_t length);
    int WriteLocked(std::uint64_t generation, const std::uint8_t* data, std::size_t length);
    // A read ends early, as a time-out, once `cancel` (may be null) is raised.
    int DeviceRead(std::uint64_t generation, std::uint8_t* data, std::size_t length,
                   int milliseconds, const LinkWake* cancel);
    bool HandleAlive(std::uint64_t generation) const;

    // Packet handlers by class; all run with mMutex held.
    void HandlePacket(const Packet& packet);
    void HandleMcu(const Packet& packet);
    void HandleDsp(const Packet& packet);
    void HandleFlash(const Packet& packet);
    // The firmware upgrade subcommands of the MCU and FLASH classes.
    void HandleUpgrade(const Packet& packet);

    // Queues one reply packet, applying the reply faults.
    void Reply(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
               const std::vector<std::uint8_t>& payload, bool restartAfter = false);
    // Queues two packets in one report, as the amplifier does when a report
    // and a status go out together (the host dispatches both in order).
    void ReplyTogether(std::uint8_t cmd, std::uint8_t firstSubcmd,
                       const std::vector<std::uint8_t>& firstPayload, std::uint8_t secondSubcmd,
                       const std::vector<std::uint8_t>& secondPayload);
    // Queues one report; `shortRead` makes the read return only `length` bytes.
    void QueueBytes(const std::uint8_t* bytes, std::size_t length, bool restartAfter,
                    Clock::time_point earliest, bool shortRead = false);
    void Restart();
    // Releases `lock` (which must hold mMutex), then reports the enumeration
    // changes noted meanwhile.
    void NotifyEnumeration(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mMutex;
    // Taken before mMutex, never after: keeps the reports in order.
    std::mutex mObserverMutex;
    std::function<void(bool)> mEnumerationObserver;
    std::vector<bool> mEnumerationChanges;  // under mMutex, not yet reported
    mutable std::condition_variable mChanged;
    int mWaitingReads = 0;
    bool mHoldReplies = false;
    std::size_t mHoldAtUpgradeBlock = 0;
    int mLongestReadWaitMs = 0;

    // --- DSP and scene side ---
    // Settings addressed by a scene number: 0 is live, 1..10 the edit copy of
    // stored scene k (loaded from flash by ReadScene(k, 255), kept in flash by
    // SaveScene(k, 1)). Null for any other number.
    AmpSceneSettings* SceneFor(std::uint8_t scene);
    void HandleDspSet(std::uint8_t subcmd, const std::uint8_t* p, int n);
    void HandleDspGet(std::uint8_t subcmd, const std::uint8_t* p, int n);
    void HandleCalibration(std::uint8_t subcmd, std::uint8_t optype, const std::uint8_t* p, int n);
    // Replies to a range query (header scene, source, first, last): the header,
    // then `entry(channel, out)` per output of the range, cut to the outputs
    // that exist and to what fits one report (the header then names the last
    // channel sent).
    void ReplyRange(std::uint8_t subcmd, const std::uint8_t* header, int entrySize,
                    const std::function<void(int, std::vector<std::uint8_t>&)>& entry);
    // A band or point list reply: `header` (without the last index), the last
    // index actually sent, then `entry(index, out)` from `first` up to the
    // requested last, cut to `count` entries and to what fits one report.
    static std::vector<std::uint8_t> ListReply(
        std::vector<std::uint8_t> header, int first, int requestedLast, int count, int entrySize,
        const std::function<void(int, std::vector<std::uint8_t>&)>& entry);
    void ScenesChanged() { mScenesChanged = true; }

    AmpLiveState mLive = FactoryLiveState();
    std::array<AmpStoredScene, kAmpScenes> mScenes = FactorySnapshot().scenes;
    std::array<AmpSceneSettings, kAmpScenes> mSceneEdits = [] {
        std::array<AmpSceneSettings, kAmpScenes> edits;
        edits.fill(FactorySceneSettings());
        return edits;
    }();
    std::uint8_t mCurrentScene = 0;
    std::map<std::uint32_t, std::uint32_t> mMemory;
    bool mScenesChanged = false;
    std::function<void(const AmplifierSnapshot&)> mSceneStoreObserver;
    AmplifierSnapshot SnapshotLocked() const;

    // Calibration run: the steps of the script, the current position, the
    // channels and the result waiting to be kept or discarded.
    struct CalibrationRun {
        bool running = false;
        bool resultPending = false;
        std::uint8_t module = 0;
        std::uint16_t channels = 0;
        std::uint8_t eqMode = 0;
        std::vector<std::array<std::uint8_t, 5>> steps;  // status replies in order
        std::size_t next = 0;
        std::array<std::uint8_t, 5> last{12, 0, 0, 0, 0};  // answered while no run goes
        int failAtStatus = -1;
        int failReason = 0;
    };
    CalibrationRun mCalibration;
    void StartCalibration(std::uint16_t channels, std::uint8_t eqMode);
    void KeepCalibration();

    // identity
    int mModel = 87;
    int mMasterVersion = 1;
    int mSlaveVersion = 18;
    bool mLoaderMode = false;
    std::array<std::uint8_t, 4> mFlashVersion{1, 0, 0, 0};
    int mInitResult = 0;

    // connection
    bool mPlugged = true;
    bool mHostConnected = false;
    std::uint64_t mGeneration = 1;
    int mRestarts = 0;

    // faults
    bool mSilent = false;
    std::chrono::milliseconds mReplyDelay{0};
    std::chrono::milliseconds mReportLatency{0};
    bool mBadChecksum = false;
    std::size_t mSplitAt = 0;
    int mUnplugAt = 0;
    int mRefusedSaves = 0;

    PacketParser mParser;
    std::deque<PendingReport> mPending;
    Clock::time_point mLastReportReady{};
    std::vector<OutputReport> mWritten;
    std::size_t mWriteCount = 0;
};

}  // namespace kavelo

#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/CommandQueue.h"
#include "device/DeviceMessage.h"
#include "device/DspEncoding.h"
#include "device/HidPort.h"
#include "device/LinkClock.h"
#include "device/PacketCodec.h"
#include "device/UpgradeState.h"

namespace kavelo {

// USB identity of the amplifier.
inline constexpr std::uint16_t kAmpVendorId = 0x0483;
inline constexpr std::uint16_t kAmpProductId = 0x5750;

// Read time-outs of the exchanges.
inline constexpr int kDefaultReplyTimeoutMs = 10000;
inline constexpr int kFactoryResetTimeoutMs = 30000;
// Pause before a failed read is tried again. A vanished amplifier fails every
// read at once; without a pause the retries would burn a core for the whole
// time-out. 10 ms caps a dead handle at 100 reads a second, yet costs a
// transient error almost nothing: the driver keeps the reply queued meanwhile.
inline constexpr int kReadRetryMs = 10;

// The upgrade engine (firmware/) drives the link through the members of its
// section below; the link knows it only by name.
class UpgradeEngine;
struct UpgradeTiming;

// Fixed facts of the link's peer, set once by the owner.
struct LinkConfig {
    int modelId = 0;
    int outputChannels = 0;
    int mixWidth = 0;  // mix values travel as two bytes only above 8
    int trimMode = 0;
    int fifth = 0;
};

// Step of an upgrade transfer an acknowledgement belongs to.
enum class UpgradePhase { Enter, Start, Data, Finish };

// The link to one amplifier: the HID interface, the exchange lock, the receive
// ring and parser, the command queue and its worker thread, the handshake and
// the reply processors that post decoded records to the registered receivers.
//
// Thread safety: every public operation may be called from any thread. A
// command and the read of its reply form one exchange under the exchange lock,
// so two threads never read the same handle and a close never releases the
// handle while another thread is inside a read.
class DeviceLink {
public:
    // The port stays owned by the caller and must outlive the link. The
    // worker thread starts here.
    explicit DeviceLink(HidPort& port, LinkClock& clock = DefaultLinkClock());
    // Stops the worker (waiting for its current exchange); queued records are
    // freed unsent. Does not close the interface: the owner disconnects first.
    ~DeviceLink();

    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // --- transport ---
    // Returns the port's initialisation error (non-zero) or 0; whether the
    // amplifier was opened is told by IsDeviceOpen. Once the library is up, an
    // interface open before is replaced by the result, or closed when nothing
    // is found.
    int OpenHIDDevice();
    bool IsDeviceOpen() const;
    // Closes the interface; with notifyDevice the amplifier is told first
    // that the host leaves. Does nothing when no interface is open. A read
    // retrying on a failing handle is asked to give up first, so the close
    // waits at most for one attempt of the port, never for the time-out.
    void CloseHIDDevice(bool notifyDevice);
    // Frames and writes one command. False when nothing is open, the payload
    // does not fit a report, or the write failed.
    bool SendCtrlCommand(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                         const std::uint8_t* payload, std::uint8_t len);
    // Reads one report (waiting up to timeoutMs) into `buffer` (at least 64
    // bytes) and parses it, dispatching complete packets on this thread. True
    // when at least one byte arrived. A failed attempt is retried every
    // kReadRetryMs within the time-out, until a close is requested.
    bool ReadHIDData(std::uint8_t* buffer, int timeoutMs);

    // --- receive ring and parser ---
    void PushRxByte(std::uint8_t byte);
    // Feeds the pending ring bytes to the parser while the interface is open.
    void ProcessRxRing();
    // Empties the ring (unparsed bytes are dropped; the parser keeps its state).
    // Waits for a read under way on another thread.
    void ClearRxRing();
    void packet_process(std::uint8_t byte);
    static std::uint8_t packet_checksum(std::uint8_t length, std::uint8_t cmd,
                                        const std::uint8_t* body);
    void packet_dispatch(std::uint8_t length, std::uint8_t cmd, const std::uint8_t* body);

    // --- queue ---
    void EnableCmdQueue() { mQueueGate = true; }
    void DisableCmdQueue() { mQueueGate = false; }
    bool IsCmdQueueEnabled() const { return mQueueGate; }
    std::size_t QueuedCommandCount() const { return mQueue.Size(); }
    // Waits up to `timeout` until the worker has sent every queued command and
    // read its reply; returns whether it has.
    bool WaitCmdQueueIdle(std::chrono::milliseconds timeout) { return mQueue.WaitIdle(timeout); }
    // Clears the running flag and wakes the worker; it finishes its current
    // exchange, frees the records left unsent and ends. The destructor does
    // this too; calling it earlier lets an owner stop the traffic first.
    void RequestStop();
    bool IsWorkerRunning() const { return mRunning; }

    // The rule of every builder with a syncMode flag: syncMode sends now and
    // reads one reply report within timeoutMs; otherwise the command is queued
    // while the gate is open and dropped silently while it is closed. Returns
    // whether the command was sent (and a reply arrived) or queued.
    bool SendOrQueue(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                     const std::uint8_t* payload, std::uint8_t len, bool syncMode,
                     int timeoutMs = kDefaultReplyTimeoutMs);
    // Queues a command when the gate is open. Returns false when the gate is
    // closed or the queue could not store it.
    bool EnqueueCommand(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                        const std::uint8_t* payload, std::uint8_t len);
    // Writes a command and reads one reply report on the calling thread, as one
    // exchange. Returns whether a reply report arrived.
    bool Exchange(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                  const std::uint8_t* payload, std::uint8_t len, int timeoutMs);

    // --- handshake ---
    void PC_Connect(int connect);
    // Asks the amplifier to identify itself; returns whether a reply report
    // arrived within 10 s (the reply has been decoded when this returns).
    bool Hand_Connect();
    bool MCU_Factory_Reset_Ctrl();

    void SetLinkConfig(int modelId, int outputChannels, int mixWidth, int trimMode, int fifth);
    LinkConfig GetLinkConfig() const;

    // --- DSP setters (queued unless syncMode; see SendOrQueue) ---
    // Range setters take by-channel arrays (slot c is channel c) and send the
    // entries first..last. A last channel above 15 is cut to 15; a first
    // channel above 15 sends nothing and returns false.
    bool Source_Switch_Ctrl(std::uint8_t source, bool syncMode);
    bool Main_Volume_Ctrl(float volume, bool syncMode);
    bool Mute_Ctrl(int mute, bool syncMode);
    bool Filter_Ctrl(std::uint8_t scene, std::uint8_t source, std::uint8_t channel,
                     std::uint8_t filter, std::uint8_t type, std::uint16_t frequency,
                     std::uint8_t slope, bool syncMode);
    bool EQ_Ctrl(std::uint8_t scene, std::uint8_t source, std::uint8_t channel, std::uint8_t band,
                 std::uint16_t frequency, float q, float gainDb, bool syncMode);
    bool Delay_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                    const ChannelArray<float>& delayMs, bool syncMode);
    bool Trim_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                   const ChannelArray<float>& trimDb, bool syncMode);
    bool Mute_Ch_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                      const ChannelArray<std::uint8_t>& mute, bool syncMode);
    bool Phase_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                    const ChannelArray<std::uint8_t>& phase, bool syncMode);
    bool Mix_Ch_Ctrl(std::uint8_t scene, std::uint8_t input, int first, int last,
                     const ChannelArray<std::uint16_t>& inputSelection, bool syncMode);
    bool CH_Type_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                      const ChannelArray<std::uint8_t>& type, bool syncMode);
    // Pairs are (from channel, to channel).
    bool CH_Link_Ctrl(std::uint8_t scene, std::uint8_t linkMode,
                      const std::vector<std::array<std::uint8_t, 2>>& pairs, bool syncMode);
    bool CH_Lock_Ctrl(std::uint8_t scene, std::uint16_t lock, bool syncMode);
    bool PEQ_Reset_Ctrl(std::uint8_t scene, std::uint8_t source,
                        const std::vector<std::uint8_t>& channels, bool syncMode);
    bool PEQ_Bypass_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                         const ChannelArray<std::uint8_t>& bypass, bool syncMode);
    bool IRC_Ctrl(std::uint8_t on, std::uint16_t channelMask, std::uint8_t eqMode, bool syncMode);
    bool IRC_Sel_Test_Module(std::uint8_t module, bool syncMode);
    bool Input_Mix_Trim_Ctrl(std::uint8_t scene, std::uint8_t source, std::uint8_t inputChannel,
                             int firstOutput, int lastOutput,
                             const ChannelArray<std::uint8_t>& trim, bool syncMode);
    bool Amp_Mute_Ctrl(std::uint8_t mute, bool syncMode);
    bool Set_MemData(std::uint32_t address, std::uint32_t data, bool syncMode);

    // --- DSP queries (always immediate; the reply is decoded during the read).
    // Each returns whether a reply report arrived. ---
    bool Get_Source();
    bool Get_Main_Volume();
    bool Get_Subwoofer_Volume();
    bool Get_Mute();
    bool Get_Filter(std::uint8_t scene, std::uint8_t source, int first, int last);
    bool Get_EQ(std::uint8_t scene, std::uint8_t source, std::uint8_t channel,
                std::uint8_t firstBand, std::uint8_t lastBand);
    bool Get_Delay(std::uint8_t scene, std::uint8_t source, int first, int last);
    bool Get_Trim(std::uint8_t scene, std::uint8_t source, int first, int last);
    bool Get_Mute_Ch(std::uint8_t scene, std::uint8_t source, int first, int last);
    bool Get_Phase(std::uint8_t scene, std::uint8_t source, int first, int last);
    bool Get_Mix_Ch(std::uint8_t scene, std::uint8_t input, int first, int last);
    bool Get_CH_Type(std::uint8_t scene, std::uint8_t source, int first, int last);
    bool Get_CH_Link(std::uint8_t scene);
    bool Get_CH_Lock(std::uint8_t scene);
    bool Get_PEQ_Bypass(std::uint8_t scene, std::uint8_t source, int first, int last);
    bool IRC_Get();
    bool IRC_Get_EQ(std::uint8_t channel, std::uint8_t firstBand, std::uint8_t lastBand);
    bool IRC_Get_Spectrum(std::uint8_t channel, std::uint8_t firstBand, std::uint8_t lastBand);
    bool Get_Input_Mix_CH_Trim(std::uint8_t scene, std::uint8_t source, std::uint8_t inputChannel,
                               int firstOutput, int lastOutput);
    bool Get_Ch_Solo(std::uint8_t scene, std::uint8_t source, int first, int last);
    bool Get_Speaker_Config();
    bool Get_Amp_Mute();
    bool Get_MemData(std::uint32_t address);

    // --- scene commands (always immediate) ---
    bool SaveScene(std::uint8_t scene, std::uint8_t storeNow);
    bool ReadScene(std::uint8_t fromScene, std::uint8_t toScene);
    bool DeleteScene(std::uint8_t scene);
    bool SetSceneName(std::uint8_t scene, const std::vector<std::uint8_t>& name);
    bool Get_Scene_Name(std::uint8_t nameIndex);
    bool Get_Scene_ID();
    bool Get_Scene_Valid();

    // --- reply processors (run on the reading thread) ---
    void mcu_ack_process(std::uint8_t length, const std::uint8_t* body);
    void flash_ack_process(std::uint8_t length, const std::uint8_t* body);
    void dsp_ack_process(std::uint8_t length, const std::uint8_t* body);

    // Logs the local date and time line used around writes and upgrade steps.
    static void LogDateTime();

    LinkClock& Clock() { return mClock; }

    // --- firmware upgrade (firmware/DeviceLinkUpgrade.cpp) ---
    // Parses the file, enters upgrade mode and starts; an UpgradeResult.
    int UpgradeStart(const std::string& path);
    // One transfer action: 0..100 progress, 101 done, 255 failed.
    std::uint8_t UpgradeStep();
    // An OP_SET command and the read of its reply as one exchange. `written`
    // tells whether the write went out (nothing is read when it did not).
    // Returns whether a reply report arrived; `report` gets the bytes read.
    bool UpgradeExchange(std::uint8_t cmd, std::uint8_t subcmd, const std::uint8_t* payload,
                         std::uint8_t len, int timeoutMs, bool* written,
                         std::vector<std::uint8_t>& report);
    // One read of the engine; `report` gets exactly the bytes read.
    bool UpgradeRead(int timeoutMs, std::vector<std::uint8_t>& report);
    // Waits of the transfer (the amplifier's restart); shortened by tests.
    UpgradeTiming& UpgradeTimings();

    // --- state written by the reply processors ---
    std::atomic<bool> McuNormalMode{false};
    std::atomic<int> DeviceModel{-1};
    std::atomic<int> sys_upg_status{UPG_IDLE};
    // The upgrade engine's acknowledgement wait; the engine keeps no copy.
    std::atomic<int> AckWait{ACK_WAIT_NONE};

    // Receivers of posted messages; an empty slot drops the message.
    std::atomic<MessageSink*> MainReceiver{nullptr};
    std::atomic<MessageSink*> SceneReceiver{nullptr};
    std::atomic<MessageSink*> IrcReceiver{nullptr};
    std::atomic<MessageSink*> MemReceiver{nullptr};

    // Receive buffer of the exchanges (one input report).
    std::uint8_t* ReceiveBuffer() { return mReceiveBuffer.data(); }

private:
    // Created on first use by the firmware floor, which alone knows its type
    // (and so hands over how to delete it).
    UpgradeEngine& Upgrade();
    std::once_flag mUpgradeOnce;
    std::unique_ptr<UpgradeEngine, void (*)(UpgradeEngine*)> mUpgrade{nullptr, nullptr};
    void McuCmdThread();
    // Closes and forgets the interface (no notice to the amplifier) and the
    // bytes it left unparsed.
    void ReleaseHandle();
    static void LogRecord(const CommandRecord& record);
    static void Post(const std::atomic<MessageSink*>& slot, int id, std::uintptr_t wParam,
                     Payload lParam);
    // Applies an upgrade acknowledgement of the MCU (flash false) or the DSP flash.
    void UpgradeAck(bool flash, std::uint8_t subcmd, std::uint8_t status);

    // Setter and query plumbing of the DSP and scene classes.
    bool DspSet(std::uint8_t subcmd, const std::vector<std::uint8_t>& payload, bool syncMode);
    bool DspGet(std::uint8_t subcmd, const std::vector<std::uint8_t>& payload);
    // The range setters whose entries are one byte as given; `format` logs each channel.
    bool ByteRangeSet(std::uint8_t subcmd, const char* format, std::uint8_t scene,
                      std::uint8_t source, int first, int last,
                      const ChannelArray<std::uint8_t>& values, bool syncMode);
    bool RangeQuery(const char* name, std::uint8_t subcmd, std::uint8_t scene, std::uint8_t source,
                    int first, int last);

    HidPort& mPort;
    mutable std::mutex mConfigMutex;
    LinkConfig mLinkConfig;
    LinkClock& mClock;

    // Exchange lock: held from a write until the read of its reply returns,
    // and by open and close. Recursive so that an exchange can be built from
    // SendCtrlCommand and ReadHIDData, which take it themselves.
    mutable std::recursive_mutex mExchange;
    std::unique_ptr<HidDevice> mHidHandle;
    std::atomic<bool> mHandleOpen{false};
    // Raised while a close waits for the exchange lock.
    LinkWake mClosing;
    std::atomic<bool> WRITE_ROPRT{false};
    std::atomic<bool> mReading{false};
    int mBytesRead = 0;
    std::vector<std::uint8_t> mReceiveBuffer;

    static constexpr std::size_t kRingSize = 1024;
    std::uint8_t mReceiveRing[kRingSize] = {};
    std::size_t mRingWrite = 0;
    std::size_t mRingRead = 0;
    PacketParser mParser;

    CommandQueue mQueue;
    std::atomic<bool> mQueueGate{false};
    std::atomic<bool> mRunning{true};
    std::thread mWorker;
};

}  // namespace kavelo

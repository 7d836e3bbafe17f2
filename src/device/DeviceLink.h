#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/CommandQueue.h"
#include "device/DeviceMessage.h"
#include "device/HidPort.h"
#include "device/LinkClock.h"
#include "device/PacketCodec.h"

namespace kavelo {

// USB identity of the amplifier.
inline constexpr std::uint16_t kAmpVendorId = 0x0483;
inline constexpr std::uint16_t kAmpProductId = 0x5750;

// Read time-outs of the exchanges.
inline constexpr int kDefaultReplyTimeoutMs = 10000;
inline constexpr int kFactoryResetTimeoutMs = 30000;

// Upgrade engine states (sys_upg_status).
enum UpgStatus : int {
    UPG_IDLE = 0,
    UPG_ENTER = 16,
    UPG_START = 32,
    UPG_SEND_BIN_DATA = 48,
    UPG_WAITING_BIN_DATA_ACK = 49,
    UPG_FINISH = 64,
    UPG_FAIL = 80,
};

// Acknowledgement wait of the upgrade engine (AckWait).
enum AckWaitState : int {
    ACK_WAIT_NONE = 0,
    ACK_WAIT_BLOCK_SENT = 1,
    ACK_WAIT_READING = 2,
    ACK_WAIT_CLOSED = 3,
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
    // amplifier was opened is told by IsDeviceOpen.
    int OpenHIDDevice();
    bool IsDeviceOpen() const;
    // Closes the interface; with notifyDevice the amplifier is told first
    // that the host leaves. Does nothing when no interface is open.
    void CloseHIDDevice(bool notifyDevice);
    // Frames and writes one command. False when nothing is open, the payload
    // does not fit a report, or the write failed.
    bool SendCtrlCommand(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                         const std::uint8_t* payload, std::uint8_t len);
    // Reads one report (waiting up to timeoutMs) into `buffer` (at least 64
    // bytes) and parses it, dispatching complete packets on this thread. True
    // when at least one byte arrived.
    bool ReadHIDData(std::uint8_t* buffer, int timeoutMs);

    // --- receive ring and parser ---
    void PushRxByte(std::uint8_t byte);
    // Feeds the pending ring bytes to the parser while the interface is open.
    void ProcessRxRing();
    // Empties the ring (unparsed bytes are dropped; the parser keeps its state).
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

    // --- reply processors (run on the reading thread) ---
    void mcu_ack_process(std::uint8_t length, const std::uint8_t* body);
    void flash_ack_process(std::uint8_t length, const std::uint8_t* body);
    void dsp_ack_process(std::uint8_t length, const std::uint8_t* body);

    // Logs the local date and time line used around writes and upgrade steps.
    static void LogDateTime();

    LinkClock& Clock() { return mClock; }

    // --- state written by the reply processors ---
    std::atomic<bool> McuNormalMode{false};
    std::atomic<int> DeviceModel{-1};
    std::atomic<int> sys_upg_status{UPG_IDLE};
    std::atomic<int> AckWait{ACK_WAIT_NONE};

    // Receivers of posted messages; an empty slot drops the message.
    std::atomic<MessageSink*> MainReceiver{nullptr};
    std::atomic<MessageSink*> SceneReceiver{nullptr};
    std::atomic<MessageSink*> IrcReceiver{nullptr};
    std::atomic<MessageSink*> MemReceiver{nullptr};

    // Receive buffer of the exchanges (one input report).
    std::uint8_t* ReceiveBuffer() { return mReceiveBuffer.data(); }

private:
    void McuCmdThread();
    static void LogRecord(const CommandRecord& record);
    static void Post(const std::atomic<MessageSink*>& slot, int id, std::uintptr_t wParam,
                     Payload lParam);
    // Applies an upgrade acknowledgement of the MCU (flash false) or the DSP flash.
    void UpgradeAck(bool flash, std::uint8_t subcmd, std::uint8_t status);

    HidPort& mPort;
    LinkClock& mClock;

    // Exchange lock: held from a write until the read of its reply returns,
    // and by open and close. Recursive so that an exchange can be built from
    // SendCtrlCommand and ReadHIDData, which take it themselves.
    mutable std::recursive_mutex mExchange;
    std::unique_ptr<HidDevice> mHidHandle;
    std::atomic<bool> mHandleOpen{false};
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

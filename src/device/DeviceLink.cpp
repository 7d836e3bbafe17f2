#include "device/DeviceLink.h"

#include <chrono>
#include <ctime>
#include <cwchar>

#include "base/Log.h"
#include "base/Platform.h"

namespace kavelo {

namespace {

constexpr std::size_t kStringChars = 255;

// Runs a hex dump on one log line: the time prefix is off while it runs.
class UnstampedLog {
public:
    UnstampedLog() { LogTimestampEnabled = false; }
    ~UnstampedLog() { LogTimestampEnabled = true; }
};

}  // namespace

DeviceLink::DeviceLink(HidPort& port, LinkClock& clock)
    : mPort(port), mClock(clock), mReceiveBuffer(kOutputReportSize, 0) {
    mWorker = std::thread([this] { McuCmdThread(); });
}

DeviceLink::~DeviceLink() {
    RequestStop();
    if (mWorker.joinable()) mWorker.join();
}

void DeviceLink::RequestStop() {
    mRunning = false;
    mQueue.Wake();
}

void DeviceLink::LogDateTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millis = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    const std::tm local = LocalTime(seconds);
    LogPrintA("%d.%02d.%02d %02d:%d:%d:%d\n", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
              local.tm_hour, local.tm_min, local.tm_sec, millis);
}

// ---------------------------------------------------------------- transport

int DeviceLink::OpenHIDDevice() {
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    const int initResult = mPort.Init();
    if (initResult != 0) return initResult;

    // The handle takes the result: an interface left from an earlier open is
    // closed even when nothing new is found, so a vanished amplifier never
    // looks connected.
    ReleaseHandle();
    std::unique_ptr<HidDevice> device = mPort.Open(kAmpVendorId, kAmpProductId);
    if (!device) {
        LogPrintA("unable to open device\n");
        return 0;
    }

    wchar_t text[kStringChars + 1];
    int failures = 0;
    auto readString = [&](auto&& call, const char* failText) {
        text[0] = L'\0';
        if (call() < 0) {
            ++failures;
            LogPrintA("%s", failText);
        }
        text[kStringChars] = L'\0';
    };
    readString([&] { return device->GetManufacturerString(text, kStringChars); },
               "Unable to read manufacturer string\n");
    LogPrintA("Manufacturer String: %ls\n", text);
    readString([&] { return device->GetProductString(text, kStringChars); },
               "Unable to read product string\n");
    LogPrintA("Product String: %ls\n", text);
    readString([&] { return device->GetSerialNumberString(text, kStringChars); },
               "Unable to read serial number string\n");
    LogPrintA("Serial Number String: (%d) %ls", static_cast<int>(text[0]), text);
    LogPrintA("\n");
    readString([&] { return device->GetIndexedString(1, text, kStringChars); },
               "Unable to read indexed string 1\n");
    LogPrintA("Indexed String 1: %ls\n", text);

    if (failures >= 3) {
        LogPrintA("read HID info error, unable open device correctly\n");
        return 0;  // the device object closes the handle
    }
    device->SetNonblocking(1);
    device->SetReadCancel(&mClosing);
    mHidHandle = std::move(device);
    mHandleOpen = true;
    return 0;
}

bool DeviceLink::IsDeviceOpen() const { return mHandleOpen; }

void DeviceLink::CloseHIDDevice(bool notifyDevice) {
    // Raised before taking the lock: a read retrying on a vanished amplifier
    // holds it and lets go as soon as it sees this.
    const LinkWake::Raised closing(mClosing);
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    if (!mHidHandle) return;
    if (notifyDevice) PC_Connect(0);
    ReleaseHandle();
    LogPrintA("CloseHIDDevice!\n");
}

void DeviceLink::ReleaseHandle() {
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    mHandleOpen = false;
    mHidHandle.reset();
    WRITE_ROPRT = false;
    // A packet the interface cut off (an amplifier unplugged mid-reply) would
    // otherwise swallow the first reply of the next one.
    mRingRead = mRingWrite = 0;
    mParser.Reset();
}

bool DeviceLink::SendCtrlCommand(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                                 const std::uint8_t* payload, std::uint8_t len) {
    if (!mHandleOpen) {
        WRITE_ROPRT = false;
        return false;
    }
    // Writes of other threads finish first: they hold the exchange lock.
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    LogDateTime();
    LogPrintA("SendCtrlCommand Cmd:0x%02x, subcmd:0x%02x, optype:0x%02x, len:0x%02x\n", cmd, subcmd,
              optype, len);
    OutputReport report;
    if (!EncodeReport(cmd, subcmd, optype, payload, len, report)) {
        // Refused rather than truncated: a cut payload would be a different command.
        LogPrintA("SendCtrlCommand payload too long (%d bytes), not sent\n", len);
        return false;
    }
    LogPrintA("begain to write data to devices:\n");
    {
        UnstampedLog unstamped;
        for (std::uint8_t byte : report) LogPrintA("%02x ", byte);
        LogPrintA("\n");
    }
    WRITE_ROPRT = true;
    LogPrintA("set WRITE_ROPRT = TRUE\n");
    if (!mHidHandle) {
        LogPrintA("mHidHandle is NULL, can't send cmd\n");
        WRITE_ROPRT = false;
        return false;
    }
    const int handleValue = static_cast<int>(reinterpret_cast<std::uintptr_t>(mHidHandle.get()));
    if (mHidHandle->Write(report.data(), report.size()) < 0) {
        LogPrintA("Write HidDeviceObject = %d errot = %s\n", handleValue,
                  WideToUtf8(mHidHandle->Error()).c_str());
        WRITE_ROPRT = false;
        return false;
    }
    LogPrintA("write data ok! HidDeviceObject = %d\n", handleValue);
    LogDateTime();
    WRITE_ROPRT = false;
    return true;
}

bool DeviceLink::ReadHIDData(std::uint8_t* buffer, int timeoutMs) {
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    const std::int64_t start = mClock.NowMs();
    LogPrintA("ReadHIDData timestart = %ld\n", static_cast<long>(start));
    mReading = true;
    if (mHidHandle && mClosing.IsRaised()) {
        // A close is under way; a read now would only hold it up.
        LogPrintA("ReadHIDData skipped: the device is being closed\n");
        mBytesRead = 0;
        mReading = false;
        return false;
    }
    int n = 0;
    std::int64_t elapsed = 0;
    do {
        if (!mHidHandle) {
            LogPrintA("mHidHandle is NULL\n");
            mBytesRead = 0;
            WRITE_ROPRT = false;
            mReading = false;
            return false;
        }
        n = mHidHandle->ReadTimeout(buffer, kInputReportSize, timeoutMs);
        elapsed = mClock.NowMs() - start;
        // Only a read error is retried, after a pause that a close cuts
        // short; a time-out ends the read at once.
        if (n < 0 && elapsed <= timeoutMs) {
            mClock.WaitMs(kReadRetryMs, mClosing);
            elapsed = mClock.NowMs() - start;
        }
    } while (elapsed <= timeoutMs && mHidHandle && !mClosing.IsRaised() && n < 0);
    LogPrintA("ReadHIDData done timeend-timestart = %ld\n", static_cast<long>(elapsed));
    LogPrintA("ReadHIDData NumberOfBytesRead = %d\n", n);
    if (n <= 0) {
        mBytesRead = 0;
        mReading = false;
        return false;
    }
    mBytesRead = n;
    LogPrintA("read data: ");
    {
        UnstampedLog unstamped;
        for (int i = 0; i < n; ++i) {
            LogPrintA("%02x ", buffer[i]);
            PushRxByte(buffer[i]);
        }
        LogPrintA("\n");
    }
    ProcessRxRing();
    mReading = false;
    return true;
}

// ---------------------------------------------------------------- framing

void DeviceLink::PushRxByte(std::uint8_t byte) {
    mReceiveRing[mRingWrite] = byte;
    mRingWrite = (mRingWrite + 1) % kRingSize;
}

void DeviceLink::ProcessRxRing() {
    while (mRingRead != mRingWrite && IsDeviceOpen()) {
        const std::uint8_t byte = mReceiveRing[mRingRead];
        mRingRead = (mRingRead + 1) % kRingSize;
        packet_process(byte);
    }
}

void DeviceLink::ClearRxRing() {
    // A read on another thread may be filling the ring right now.
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    mRingRead = mRingWrite;
}

std::uint8_t DeviceLink::packet_checksum(std::uint8_t length, std::uint8_t cmd,
                                         const std::uint8_t* body) {
    return PacketChecksum(length, cmd, body);
}

void DeviceLink::packet_process(std::uint8_t byte) {
    const int lengthBefore = mParser.Current().length;
    const PacketParser::Step step = mParser.Feed(byte);
    if (step.logged) {
        LogPrintA(
            "packet_process: temp_index(0x%08x), packet_length(0x%08x), packet_byte(0x%08x)\n",
            step.index, lengthBefore + 3, byte);
    }
    if (!step.packetDone) return;
    LogPrintA("packet_checksum: temp_sum(0x%08x)\n", step.negatedSum);
    if (!step.checksumOk) return;
    const Packet& packet = mParser.Current();
    packet_dispatch(packet.length, packet.cmd, packet.body.data());
}

void DeviceLink::packet_dispatch(std::uint8_t length, std::uint8_t cmd, const std::uint8_t* body) {
    // Without subcmd and optype there is nothing a processor could decode.
    if (length < 3) return;
    switch (cmd) {
        case CMD_DSP:
            LogPrintA("packet_process: packet_type(CMD_DSP)\n");
            dsp_ack_process(length, body);
            break;
        case CMD_FLASH:
            LogPrintA("packet_process: packet_type(CMD_FLASH)\n");
            flash_ack_process(length, body);
            break;
        case CMD_MCU:
            LogPrintA("packet_process: packet_type(CMD_MCU)\n");
            mcu_ack_process(length, body);
            break;
        case CMD_DSP_DWRITE:
            LogPrintA("packet_process: packet_type(CMD_DSP_DWRITE)\n");
            break;
        default:
            break;  // classes this system does not use
    }
}

void DeviceLink::Post(const std::atomic<MessageSink*>& slot, int id, std::uintptr_t wParam,
                      Payload lParam) {
    MessageSink* sink = slot.load();
    if (sink) sink->Post(DeviceMessage{id, wParam, std::move(lParam)});
}

// ---------------------------------------------------------------- queue

bool DeviceLink::EnqueueCommand(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                                const std::uint8_t* payload, std::uint8_t len) {
    if (!mQueueGate) return false;
    CommandRecord record;
    record.cmd = cmd;
    record.subcmd = subcmd;
    record.optype = optype;
    record.len = len;
    try {
        record.payload.assign(payload, payload + len);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return mQueue.Push(std::move(record));
}

bool DeviceLink::Exchange(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                          const std::uint8_t* payload, std::uint8_t len, int timeoutMs) {
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    // A report already waiting (an unsolicited one) must not pass for the
    // answer to a command that never went out.
    if (!SendCtrlCommand(cmd, subcmd, optype, payload, len)) return false;
    return ReadHIDData(mReceiveBuffer.data(), timeoutMs);
}

bool DeviceLink::SendOrQueue(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                             const std::uint8_t* payload, std::uint8_t len, bool syncMode,
                             int timeoutMs) {
    if (syncMode) return Exchange(cmd, subcmd, optype, payload, len, timeoutMs);
    return EnqueueCommand(cmd, subcmd, optype, payload, len);
}

void DeviceLink::LogRecord(const CommandRecord& record) {
    LogPrintA("get mcmd 0x%02x subcmd 0x%02x optype 0x%02x len 0x%02x ", record.cmd, record.subcmd,
              record.optype, record.len);
    for (std::uint8_t byte : record.payload) LogPrintA("cmd_data[i](0x%02x) ", byte);
    LogPrintA("\n");
}

void DeviceLink::McuCmdThread() {
    LogPrintA("McuCmdThread start\n");
    while (mRunning) {
        std::optional<CommandRecord> record = mQueue.WaitPop([this] { return !mRunning; });
        if (!record) continue;
        LogRecord(*record);
        {
            std::lock_guard<std::recursive_mutex> lock(mExchange);
            SendCtrlCommand(record->cmd, record->subcmd, record->optype, record->payload.data(),
                            record->len);
            record.reset();
            ReadHIDData(mReceiveBuffer.data(), kDefaultReplyTimeoutMs);
        }
        mQueue.Finished();
    }
    while (std::optional<CommandRecord> left = mQueue.TryPop()) LogRecord(*left);
    LogPrintA("McuCmdThread end\n");
}

}  // namespace kavelo

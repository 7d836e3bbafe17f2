// Transport side of the virtual amplifier: enumeration, handles, report
// queues and the fault injection that applies to every packet class.
#include "sim/VirtualAmplifier.h"

#include <utility>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "device/LinkWake.h"

namespace kavelo {

namespace {
constexpr std::uint16_t kVendorId = 0x0483;
constexpr std::uint16_t kProductId = 0x5750;
// How often a waiting read looks whether it was cancelled.
constexpr std::chrono::milliseconds kCancelSlice{20};

int CopyString(const wchar_t* text, wchar_t* buffer, std::size_t maxChars) {
    if (maxChars == 0) return -1;
    std::wcsncpy(buffer, text, maxChars - 1);
    buffer[maxChars - 1] = L'\0';
    return 0;
}
}  // namespace

// A handle of one enumeration. After a restart or unplug it stays allocated but
// every transfer fails, as a stale hidraw node does.
class VirtualAmplifier::Device : public HidDevice {
public:
    Device(VirtualAmplifier& amp, std::uint64_t generation) : mAmp(amp), mGeneration(generation) {}

    int GetManufacturerString(wchar_t* buffer, std::size_t maxChars) override {
        return Alive() ? CopyString(L"Kavelo", buffer, maxChars) : -1;
    }
    int GetProductString(wchar_t* buffer, std::size_t maxChars) override {
        return Alive() ? CopyString(L"TRQ5.40AMP", buffer, maxChars) : -1;
    }
    int GetSerialNumberString(wchar_t* buffer, std::size_t maxChars) override {
        return Alive() ? CopyString(L"VA0001", buffer, maxChars) : -1;
    }
    int GetIndexedString(int index, wchar_t* buffer, std::size_t maxChars) override {
        return Alive() && index == 1 ? CopyString(L"Kavelo", buffer, maxChars) : -1;
    }
    int SetNonblocking(int) override { return Alive() ? 0 : -1; }
    int Write(const std::uint8_t* data, std::size_t length) override {
        return mAmp.DeviceWrite(mGeneration, data, length);
    }
    int ReadTimeout(std::uint8_t* data, std::size_t length, int milliseconds) override {
        return mAmp.DeviceRead(mGeneration, data, length, milliseconds, mCancel);
    }
    void SetReadCancel(const LinkWake* cancel) override { mCancel = cancel; }
    std::wstring Error() override { return Alive() ? L"Success" : L"Device not connected"; }

private:
    bool Alive() const { return mAmp.HandleAlive(mGeneration); }

    VirtualAmplifier& mAmp;
    std::uint64_t mGeneration;
    const LinkWake* mCancel = nullptr;
};

VirtualAmplifier::VirtualAmplifier() = default;
VirtualAmplifier::~VirtualAmplifier() = default;

int VirtualAmplifier::Init() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mInitResult;
}

std::unique_ptr<HidDevice> VirtualAmplifier::Open(std::uint16_t vendorId, std::uint16_t productId) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mPlugged || vendorId != kVendorId || productId != kProductId) return nullptr;
    return std::make_unique<Device>(*this, mGeneration);
}

bool VirtualAmplifier::HandleAlive(std::uint64_t generation) const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mPlugged && generation == mGeneration;
}

void VirtualAmplifier::SetModel(int model) {
    std::lock_guard<std::mutex> lock(mMutex);
    mModel = model;
}
void VirtualAmplifier::SetVersions(int master, int slave) {
    std::lock_guard<std::mutex> lock(mMutex);
    mMasterVersion = master;
    mSlaveVersion = slave;
}
void VirtualAmplifier::SetLoaderMode(bool loader) {
    std::lock_guard<std::mutex> lock(mMutex);
    mLoaderMode = loader;
}
void VirtualAmplifier::SetFlashVersion(const std::array<std::uint8_t, 4>& version) {
    std::lock_guard<std::mutex> lock(mMutex);
    mFlashVersion = version;
}
void VirtualAmplifier::SetInitResult(int result) {
    std::lock_guard<std::mutex> lock(mMutex);
    mInitResult = result;
}

void VirtualAmplifier::Plug() {
    std::unique_lock<std::mutex> lock(mMutex);
    if (mPlugged) return;
    mPlugged = true;
    ++mGeneration;
    mEnumerationChanges.push_back(true);
    mChanged.notify_all();
    NotifyEnumeration(lock);
}
void VirtualAmplifier::Unplug() {
    std::unique_lock<std::mutex> lock(mMutex);
    if (mPlugged) mEnumerationChanges.push_back(false);
    mPlugged = false;
    mHostConnected = false;
    mPending.clear();
    mParser.Reset();
    mChanged.notify_all();
    NotifyEnumeration(lock);
}

void VirtualAmplifier::SetEnumerationObserver(std::function<void(bool present)> observer) {
    std::lock_guard<std::mutex> order(mObserverMutex);
    mEnumerationObserver = std::move(observer);
}

void VirtualAmplifier::NotifyEnumeration(std::unique_lock<std::mutex>& lock) {
    const bool any = !mEnumerationChanges.empty();
    lock.unlock();
    if (!any) return;
    std::lock_guard<std::mutex> order(mObserverMutex);
    std::vector<bool> changes;
    {
        std::lock_guard<std::mutex> again(mMutex);
        changes.swap(mEnumerationChanges);
    }
    if (!mEnumerationObserver) return;
    for (const bool present : changes) mEnumerationObserver(present);
}
bool VirtualAmplifier::IsPlugged() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mPlugged;
}
int VirtualAmplifier::RestartCount() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRestarts;
}
bool VirtualAmplifier::HostConnected() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mHostConnected;
}

void VirtualAmplifier::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(mMutex);
    mSilent = silent;
}
void VirtualAmplifier::SetReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(mMutex);
    mReplyDelay = delay;
}
void VirtualAmplifier::HoldReplies(bool hold) {
    std::lock_guard<std::mutex> lock(mMutex);
    mHoldReplies = hold;
    mChanged.notify_all();
}

void VirtualAmplifier::HoldRepliesAtUpgradeBlock(int n) {
    std::lock_guard<std::mutex> lock(mMutex);
    mHoldAtUpgradeBlock = n > 0 ? static_cast<std::size_t>(n) : 0;
}

int VirtualAmplifier::TakeLongestReadWaitMs() {
    std::lock_guard<std::mutex> lock(mMutex);
    return std::exchange(mLongestReadWaitMs, 0);
}

void VirtualAmplifier::SetReportLatency(std::chrono::milliseconds latency) {
    std::lock_guard<std::mutex> lock(mMutex);
    mReportLatency = latency;
}
void VirtualAmplifier::SetBadChecksum(bool bad) {
    std::lock_guard<std::mutex> lock(mMutex);
    mBadChecksum = bad;
}
void VirtualAmplifier::SetSplitReplies(std::size_t firstPart) {
    std::lock_guard<std::mutex> lock(mMutex);
    mSplitAt = firstPart;
}
void VirtualAmplifier::UnplugAtExchange(int n) {
    std::lock_guard<std::mutex> lock(mMutex);
    mUnplugAt = n;
}
void VirtualAmplifier::RefuseSceneSaves(int n) {
    std::lock_guard<std::mutex> lock(mMutex);
    mRefusedSaves = n;
}

std::vector<OutputReport> VirtualAmplifier::WrittenReports() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mWritten;
}
std::size_t VirtualAmplifier::WriteCount() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mWriteCount;
}
void VirtualAmplifier::ClearWrittenReports() {
    std::lock_guard<std::mutex> lock(mMutex);
    mWritten.clear();
}
bool VirtualAmplifier::WaitForWrites(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, timeout, [&] { return mWriteCount >= n; });
}
bool VirtualAmplifier::WaitForWaitingRead(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, timeout, [&] { return mWaitingReads > 0; });
}
std::size_t VirtualAmplifier::PendingReportCount() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mPending.size();
}

int VirtualAmplifier::DeviceWrite(std::uint64_t generation, const std::uint8_t* data,
                                  std::size_t length) {
    std::unique_lock<std::mutex> lock(mMutex);
    const int written = WriteLocked(generation, data, length);
    std::function<void(const AmplifierSnapshot&)> sceneObserver;
    AmplifierSnapshot snapshot;
    if (mScenesChanged) {
        mScenesChanged = false;
        if (mSceneStoreObserver) {
            sceneObserver = mSceneStoreObserver;
            snapshot = SnapshotLocked();
        }
    }
    NotifyEnumeration(lock);
    if (sceneObserver) sceneObserver(snapshot);
    return written;
}

int VirtualAmplifier::WriteLocked(std::uint64_t generation, const std::uint8_t* data,
                                  std::size_t length) {
    if (!mPlugged || generation != mGeneration) return -1;
    ++mWriteCount;
    mChanged.notify_all();
    if (mUnplugAt > 0 && static_cast<int>(mWriteCount) >= mUnplugAt) {
        mUnplugAt = 0;
        mEnumerationChanges.push_back(false);
        mPlugged = false;
        mHostConnected = false;
        mPending.clear();
        mParser.Reset();
        return -1;
    }
    OutputReport report{};
    std::memcpy(report.data(), data, std::min(length, report.size()));
    mWritten.push_back(report);
    // Byte 0 is the report id; the packet bytes follow.
    for (std::size_t i = 1; i < std::min(length, report.size()); ++i) {
        if (mParser.Feed(data[i]).checksumOk) HandlePacket(mParser.Current());
    }
    return static_cast<int>(length);
}

int VirtualAmplifier::DeviceRead(std::uint64_t generation, std::uint8_t* data, std::size_t length,
                                 int milliseconds, const LinkWake* cancel) {
    std::unique_lock<std::mutex> lock(mMutex);
    mLongestReadWaitMs = std::max(mLongestReadWaitMs, milliseconds);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (!mPlugged || generation != mGeneration) return -1;
        const Clock::time_point now = Clock::now();
        const bool pending = !mHoldReplies && !mPending.empty();
        if (pending && mPending.front().readyAt <= now) break;
        if (now >= deadline || (cancel && cancel->IsRaised())) return 0;
        Clock::time_point wakeAt = deadline;
        if (pending) wakeAt = std::min(wakeAt, mPending.front().readyAt);
        // As the real port: a cancellable read looks at its cancel in slices.
        if (cancel) wakeAt = std::min(wakeAt, now + kCancelSlice);
        ++mWaitingReads;
        mChanged.notify_all();
        mChanged.wait_until(lock, wakeAt);
        --mWaitingReads;
    }
    PendingReport report = mPending.front();
    mPending.pop_front();
    const std::size_t n = std::min(length, report.length);
    std::memcpy(data, report.bytes.data(), n);
    if (report.restartAfter) Restart();
    NotifyEnumeration(lock);
    return static_cast<int>(n);
}

void VirtualAmplifier::HandlePacket(const Packet& packet) {
    if (mSilent || packet.length < 3) return;
    switch (packet.cmd) {
        case CMD_DSP:
            HandleDsp(packet);
            break;
        case CMD_FLASH:
            HandleFlash(packet);
            break;
        case CMD_MCU:
            HandleMcu(packet);
            break;
        default:
            break;  // the direct-write class is never answered
    }
}

void VirtualAmplifier::Reply(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                             const std::vector<std::uint8_t>& payload, bool restartAfter) {
    std::uint8_t bytes[kInputReportSize] = {};
    const std::size_t n =
        FramePacket(cmd, subcmd, optype, payload.data(), payload.size(), bytes, sizeof bytes);
    if (n == 0) return;
    if (mBadChecksum) bytes[n - 1] ^= 0xFF;
    const Clock::time_point earliest = Clock::now() + mReplyDelay;
    if (mSplitAt > 0 && mSplitAt < n) {
        QueueBytes(bytes, mSplitAt, false, earliest, true);
        QueueBytes(bytes + mSplitAt, n - mSplitAt, restartAfter, earliest, true);
    } else {
        QueueBytes(bytes, n, restartAfter, earliest);
    }
}

void VirtualAmplifier::ReplyTogether(std::uint8_t cmd, std::uint8_t firstSubcmd,
                                     const std::vector<std::uint8_t>& firstPayload,
                                     std::uint8_t secondSubcmd,
                                     const std::vector<std::uint8_t>& secondPayload) {
    std::uint8_t bytes[kInputReportSize] = {};
    const std::size_t first = FramePacket(cmd, firstSubcmd, OP_UPDATE, firstPayload.data(),
                                          firstPayload.size(), bytes, sizeof bytes);
    const std::size_t second =
        FramePacket(cmd, secondSubcmd, OP_UPDATE, secondPayload.data(), secondPayload.size(),
                    bytes + first, sizeof bytes - first);
    if (first == 0 || second == 0) {
        // Too long for one report together: two reports, in the same order.
        Reply(cmd, firstSubcmd, OP_UPDATE, firstPayload);
        Reply(cmd, secondSubcmd, OP_UPDATE, secondPayload);
        return;
    }
    if (mBadChecksum) {
        bytes[first - 1] ^= 0xFF;
        bytes[first + second - 1] ^= 0xFF;
    }
    QueueBytes(bytes, first + second, false, Clock::now() + mReplyDelay);
}

void VirtualAmplifier::QueueBytes(const std::uint8_t* bytes, std::size_t length, bool restartAfter,
                                  Clock::time_point earliest, bool shortRead) {
    PendingReport report;
    std::memcpy(report.bytes.data(), bytes, std::min(length, report.bytes.size()));
    if (shortRead) report.length = std::min(length, report.bytes.size());
    report.restartAfter = restartAfter;
    report.readyAt = std::max(earliest, mLastReportReady + mReportLatency);
    if (mReportLatency.count() == 0) report.readyAt = earliest;
    mLastReportReady = report.readyAt;
    mPending.push_back(report);
    mChanged.notify_all();
}

void VirtualAmplifier::SendPacket(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                                  const std::vector<std::uint8_t>& payload) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mPlugged) Reply(cmd, subcmd, optype, payload);
}

void VirtualAmplifier::SendRawReport(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mPlugged) QueueBytes(bytes.data(), bytes.size(), false, Clock::now());
}

void VirtualAmplifier::Restart() {
    // The amplifier reboots: the host's handle dies and the device enumerates
    // again, so the next Open finds a fresh interface.
    ++mGeneration;
    ++mRestarts;
    mEnumerationChanges.push_back(false);
    mEnumerationChanges.push_back(true);
    mHostConnected = false;
    mPending.clear();
    mParser.Reset();
    mChanged.notify_all();
}

}  // namespace kavelo

// The upgrade engine driven through the device link.
#include <vector>

#include "device/DeviceLink.h"
#include "firmware/UpgradeEngine.h"

namespace kavelo {

namespace {

class DeviceLinkUpgradePort : public UpgradeLinkPort {
public:
    explicit DeviceLinkUpgradePort(DeviceLink& link) : mLink(link) {}

    std::uint8_t ModelId() override {
        return static_cast<std::uint8_t>(mLink.GetLinkConfig().modelId);
    }
    bool IsDeviceOpen() override { return mLink.IsDeviceOpen(); }
    bool IsMcuNormalMode() override { return mLink.McuNormalMode.load(); }
    void OpenDevice() override { mLink.OpenHIDDevice(); }
    void CloseDeviceQuietly() override { mLink.CloseHIDDevice(false); }
    void EmptyReceiveRing() override { mLink.ClearRxRing(); }
    bool SendSet(std::uint8_t cmd, std::uint8_t subcmd, const std::uint8_t* payload,
                 std::uint8_t len) override {
        return mLink.SendCtrlCommand(cmd, subcmd, kUpgOpSet, payload, len);
    }
    bool ReadReply(int timeoutMs, std::vector<std::uint8_t>& report) override {
        return mLink.UpgradeRead(timeoutMs, report);
    }
    bool Exchange(std::uint8_t cmd, std::uint8_t subcmd, const std::uint8_t* payload,
                  std::uint8_t len, int timeoutMs, std::vector<std::uint8_t>& report,
                  bool* written) override {
        return mLink.UpgradeExchange(cmd, subcmd, payload, len, timeoutMs, written, report);
    }
    void SleepMs(int ms) override { mLink.Clock().SleepMs(ms); }
    std::int32_t UpgradeState() override { return mLink.sys_upg_status.load(); }
    void SetUpgradeState(std::int32_t state) override { mLink.sys_upg_status = state; }
    int AckWait() override { return mLink.AckWait.load(); }
    void SetAckWait(int ackWait) override { mLink.AckWait = ackWait; }

private:
    DeviceLink& mLink;
};

}  // namespace

UpgradeEngine& DeviceLink::Upgrade() {
    std::call_once(mUpgradeOnce, [this] {
        mUpgrade = {new UpgradeEngine(), [](UpgradeEngine* engine) { delete engine; }};
    });
    return *mUpgrade;
}

UpgradeTiming& DeviceLink::UpgradeTimings() { return Upgrade().Timing(); }

int DeviceLink::UpgradeStart(const std::string& path) {
    DeviceLinkUpgradePort port(*this);
    return Upgrade().Start(port, path);
}

std::uint8_t DeviceLink::UpgradeStep() {
    DeviceLinkUpgradePort port(*this);
    return Upgrade().Step(port);
}

bool DeviceLink::UpgradeExchange(std::uint8_t cmd, std::uint8_t subcmd, const std::uint8_t* payload,
                                 std::uint8_t len, int timeoutMs, bool* written,
                                 std::vector<std::uint8_t>& report) {
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    *written = SendCtrlCommand(cmd, subcmd, kUpgOpSet, payload, len);
    return *written && UpgradeRead(timeoutMs, report);
}

bool DeviceLink::UpgradeRead(int timeoutMs, std::vector<std::uint8_t>& report) {
    // The count belongs to this read: another thread's read waits for the lock.
    std::lock_guard<std::recursive_mutex> lock(mExchange);
    if (!ReadHIDData(mReceiveBuffer.data(), timeoutMs)) return false;
    report.assign(mReceiveBuffer.begin(), mReceiveBuffer.begin() + mBytesRead);
    return true;
}

}  // namespace kavelo

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
        std::uint8_t* buffer = mLink.ReceiveBuffer();
        if (!mLink.ReadHIDData(buffer, timeoutMs)) return false;
        report.assign(buffer, buffer + 64);
        return true;
    }
    bool Exchange(std::uint8_t cmd, std::uint8_t subcmd, const std::uint8_t* payload,
                  std::uint8_t len, int timeoutMs, std::vector<std::uint8_t>& report,
                  bool* written) override {
        if (!mLink.IsDeviceOpen()) {
            *written = false;
            return false;
        }
        *written = true;
        const bool replied = mLink.Exchange(cmd, subcmd, kUpgOpSet, payload, len, timeoutMs);
        if (replied) report.assign(mLink.ReceiveBuffer(), mLink.ReceiveBuffer() + 64);
        return replied;
    }
    void SleepMs(int ms) override { mLink.Clock().SleepMs(ms); }
    std::int32_t UpgradeState() override { return mLink.sys_upg_status.load(); }
    void SetUpgradeState(std::int32_t state) override { mLink.sys_upg_status = state; }

private:
    DeviceLink& mLink;
};

}  // namespace

int DeviceLink::UpgradeStart(const std::string& path) {
    DeviceLinkUpgradePort port(*this);
    const int result = mUpgrade.Start(port, path);
    AckWait = mUpgrade.AckWait();
    return result;
}

std::uint8_t DeviceLink::UpgradeStep() {
    DeviceLinkUpgradePort port(*this);
    const std::uint8_t result = mUpgrade.Step(port);
    AckWait = mUpgrade.AckWait();
    return result;
}

}  // namespace kavelo

#include "app/DeviceMonitor.h"

#include <libudev.h>

#include <QSocketNotifier>

#include "base/Log.h"

namespace kavelo {

DeviceMonitor::Change ChangeOfUdevAction(const QString& action) {
    if (action == QLatin1String("add")) return DeviceMonitor::Change::Arrival;
    if (action == QLatin1String("remove")) return DeviceMonitor::Change::Removal;
    return DeviceMonitor::Change::Other;
}

QString HidInterfaceName(const QString& devicePath) { return QStringLiteral("HID#") + devicePath; }

UdevDeviceMonitor::UdevDeviceMonitor(QObject* parent) : DeviceMonitor(parent) {}

UdevDeviceMonitor::~UdevDeviceMonitor() {
    delete mNotifier;
    if (mMonitor) udev_monitor_unref(mMonitor);
    if (mUdev) udev_unref(mUdev);
}

bool UdevDeviceMonitor::Start() {
    if (mMonitor) return true;
    mUdev = udev_new();
    if (!mUdev) return false;
    mMonitor = udev_monitor_new_from_netlink(mUdev, "udev");
    if (!mMonitor ||
        udev_monitor_filter_add_match_subsystem_devtype(mMonitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(mMonitor) < 0) {
        return false;
    }
    const int fd = udev_monitor_get_fd(mMonitor);
    if (fd < 0) return false;
    mNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    return true;
}

void UdevDeviceMonitor::OnReadable() {
    udev_device* device = udev_monitor_receive_device(mMonitor);
    if (!device) return;
    const char* action = udev_device_get_action(device);
    const char* path = udev_device_get_devpath(device);
    const QString name = HidInterfaceName(QString::fromUtf8(path ? path : ""));
    const Change change = ChangeOfUdevAction(QString::fromUtf8(action ? action : ""));
    udev_device_unref(device);
    Report(change, name);
}

}  // namespace kavelo

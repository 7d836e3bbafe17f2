#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace kavelo {

// Arrival and removal of HID interfaces, as interface names. The main window
// tests a name for the amplifier's ids itself, so a monitor reports every HID
// interface. Tests drive the base class directly through Report().
class DeviceMonitor : public QObject {
    Q_OBJECT
public:
    enum class Change { Arrival, Removal, Other };
    using QObject::QObject;
    // Starts watching; false when the system offers no notifications (the
    // application then runs without automatic plug detection).
    virtual bool Start() { return true; }
    void Report(Change change, const QString& interfaceName, int eventCode = 0) {
        emit DeviceChanged(change, interfaceName, eventCode);
    }

signals:
    void DeviceChanged(kavelo::DeviceMonitor::Change change, const QString& interfaceName,
                       int eventCode);
};

// A libudev monitor on the "hidraw" subsystem. The interface name is "HID#"
// followed by the device path, which carries the bus, vendor and product ids
// ("/devices/.../0003:0483:5750.0001/hidraw/hidraw3").
class UdevDeviceMonitor : public DeviceMonitor {
    Q_OBJECT
public:
    explicit UdevDeviceMonitor(QObject* parent = nullptr);
    ~UdevDeviceMonitor() override;
    bool Start() override;

private:
    void OnReadable();
    udev* mUdev = nullptr;
    udev_monitor* mMonitor = nullptr;
    QSocketNotifier* mNotifier = nullptr;
};

// The interface name of a hidraw device from its udev action and device path;
// the action decides the change ("add", "remove", anything else).
DeviceMonitor::Change ChangeOfUdevAction(const QString& action);
QString HidInterfaceName(const QString& devicePath);

}  // namespace kavelo

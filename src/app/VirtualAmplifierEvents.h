#pragma once

// For programs that link the virtual amplifier (the demo mode and the tests):
// its restarts and cable pulls reach the main window as the system's device
// notifications would. Header-only: the shell's library does not link the
// virtual amplifier.
#include <QMetaObject>
#include <QString>

#include "app/DeviceMonitor.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {

// A hidraw name of the amplifier's ids, as the udev monitor reports it.
inline QString VirtualAmplifierInterfaceName() {
    return QStringLiteral("HID#/devices/virtual/usb1/1-1/0003:0483:5750.0001/hidraw/hidraw0");
}

// Reports `amp`'s enumeration changes to `monitor`, always later from the
// event loop, as notifications arrive. Call DetachVirtualAmplifierEvents
// before the monitor goes away.
inline void ReportVirtualAmplifierEvents(VirtualAmplifier& amp, DeviceMonitor* monitor) {
    amp.SetEnumerationObserver([monitor](bool present) {
        const DeviceMonitor::Change change =
            present ? DeviceMonitor::Change::Arrival : DeviceMonitor::Change::Removal;
        QMetaObject::invokeMethod(
            monitor,
            [monitor, change] { monitor->Report(change, VirtualAmplifierInterfaceName()); },
            Qt::QueuedConnection);
    });
}

// Waits for a report under way, so the monitor may be destroyed afterwards.
inline void DetachVirtualAmplifierEvents(VirtualAmplifier& amp) {
    amp.SetEnumerationObserver(nullptr);
}

}  // namespace kavelo

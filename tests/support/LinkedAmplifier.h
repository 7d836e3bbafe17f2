#pragma once

#include "RecordingSink.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo::test {

// A link opened on a virtual amplifier, with the application's link
// configuration and a recording sink in every receiver slot.
struct LinkedAmplifier {
    LinkedAmplifier() : link(amp) {
        link.SetLinkConfig(87, 8, 6, 0, 0);
        link.MainReceiver = &main;
        link.SceneReceiver = &scenes;
        link.IrcReceiver = &irc;
        link.MemReceiver = &mem;
        link.OpenHIDDevice();
    }
    ~LinkedAmplifier() { link.CloseHIDDevice(false); }

    VirtualAmplifier amp;
    RecordingSink main, scenes, irc, mem;
    DeviceLink link;
};

}  // namespace kavelo::test

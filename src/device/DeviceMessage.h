#pragma once

#include <cstdint>
#include <variant>

#include "device/Records.h"

namespace kavelo {

// Posted message numbers of the device link.
enum DeviceMessageId : int {
    WM_READ_DSP_VALUE = 1234,
    WM_READ_MCU_VALUE = 1235,
    WM_READ_SCENE_VALUE = 1237,
    WM_SCENE_DELETED = 1238,
    WM_DEVICE_ABNORMAL = 1239,
    WM_READ_IRC_VALUE = 1241,
    WM_READ_MEM_VALUE = 1249,
    WM_SCENE_ID = 1250,
};

// What a message carries besides its wParam: nothing, a number, or one decoded
// record. Records travel by value, so nothing leaks when no window receives them.
using Payload =
    std::variant<std::monostate, std::int64_t, McuHandshakeRecord, McuFlashVersionRecord>;

struct DeviceMessage {
    int id = 0;
    std::uintptr_t wParam = 0;
    Payload lParam;
};

// A receiver of posted device messages. Post may be called from any thread and
// must not block; the receiver handles messages on its own thread in posting order.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Post(DeviceMessage message) = 0;
};

}  // namespace kavelo

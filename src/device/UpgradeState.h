#pragma once

#include <cstdint>

// The link's side of a firmware upgrade: the states its reply processors move
// (sys_upg_status) and the acknowledgement wait (AckWait). The upgrade engine
// above the link drives both.
namespace kavelo {

// Values of the link's upgrade state (sys_upg_status).
enum UpgradeStatus : std::int32_t {
    UPG_IDLE = 0,
    UPG_ENTER = 16,
    UPG_START = 32,
    UPG_SEND_BIN_DATA = 48,
    UPG_WAITING_BIN_DATA_ACK = 49,
    UPG_FINISH = 64,
    UPG_FAIL = 80,
};

// AckWait values.
enum UpgradeAckWait : int {
    ACK_WAIT_NONE = 0,
    ACK_WAIT_BLOCK_SENT = 1,
    ACK_WAIT_READING = 2,
    ACK_WAIT_CLOSED = 3,
};

}  // namespace kavelo

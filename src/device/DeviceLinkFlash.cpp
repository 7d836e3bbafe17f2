// The FLASH class: scenes stored in the amplifier and the DSP flash upgrade.
#include "base/Log.h"
#include "device/DeviceLink.h"
#include "device/DspDecoding.h"

namespace kavelo {

namespace {
constexpr int kSceneNameBytes = 16;

// Erased flash reads as 0xFF; only then is the name empty. Testing a single
// bit per byte would also erase real names made of odd letters ("AAAA...").
bool IsErasedName(const std::uint8_t* name) {
    for (int i = 0; i < kSceneNameBytes; ++i) {
        if (name[i] != 0xFF) return false;
    }
    return true;
}
}  // namespace

void DeviceLink::flash_ack_process(std::uint8_t length, const std::uint8_t* body) {
    const std::uint8_t subcmd = body[0];
    const std::uint8_t optype = body[1];
    const ReplyPayload p(body + 2, length >= 3 ? length - 3 : 0);
    switch (subcmd) {
        case FLASH_UPG_START:
        case FLASH_UPG_DATA:
        case FLASH_UPG_FINISH:
            if (optype == OP_ACK && p.Has(0, 1)) UpgradeAck(true, subcmd, body[2]);
            return;
        case 0x08:  // save scene
        case 0x0A:  // delete scene
            if (optype != OP_ACK || !p.Has(0, 2) || p[0] != ACK_READY) return;
            Post(SceneReceiver, subcmd == 0x08 ? WM_READ_SCENE_VALUE : WM_SCENE_DELETED,
                 static_cast<std::uintptr_t>(p[1]), std::int64_t{0});
            return;
        case 0x09:  // read scene: the amplifier's acknowledgement carries nothing we use
            return;
        case 0x0B: {
            if (optype != OP_UPDATE || !p.Has(0, 1 + kSceneNameBytes)) return;
            SceneNameRecord record;
            record.index = p[0] - 1;
            const std::uint8_t* name = body + 3;
            {
                LogTimestampEnabled = false;
                LogPrintA("scene_name->index(%d), name -->>", record.index);
                for (int i = 0; i < kSceneNameBytes; ++i) LogPrintA("0x%02x, ", name[i]);
                LogPrintA("\n m_payload:");
                for (int i = 0; i < kSceneNameBytes; ++i) LogPrintA("0x%02x, ", name[i]);
                LogPrintA("\n");
                LogTimestampEnabled = true;
            }
            if (!IsErasedName(name)) {
                for (int i = 0; i < kSceneNameBytes; ++i) record.name[i] = name[i];
            }
            Post(MainReceiver, WM_READ_SCENE_VALUE, 11, record);
            return;
        }
        case 0x0E:
            if (optype != OP_UPDATE || !p.Has(0, 1)) return;
            LogPrintA("FLASH_SCENE_ID current scene id = %d\n", p[0]);
            Post(SceneReceiver, WM_SCENE_ID, 14, std::int64_t{p[0]});
            return;
        case 0x0F: {
            if (optype != OP_UPDATE || !p.Has(0, 2)) return;
            SceneValidRecord record;
            record.valid = p[0] * 256 + p[1];
            LogPrintA("FLASH_SCENE_VALID valid scene = %d\n", record.valid);
            Post(MainReceiver, WM_READ_SCENE_VALUE, 15, record);
            return;
        }
        default:
            LogPrintA("!!! NOT SUPPORT MSG\n");
            return;
    }
}

}  // namespace kavelo

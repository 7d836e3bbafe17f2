// The amplifier's flash: stored scenes and the DSP flash upgrade.
#include "sim/VirtualAmplifier.h"

namespace kavelo {

namespace {
constexpr std::uint8_t kSave = 0x08, kRead = 0x09, kDelete = 0x0A, kName = 0x0B, kId = 0x0E,
                       kValid = 0x0F;
}  // namespace

void VirtualAmplifier::HandleFlash(const Packet& packet) {
    const std::uint8_t subcmd = packet.body[0];
    const std::uint8_t optype = packet.body[1];
    const std::uint8_t* p = packet.body.data() + 2;
    const int n = packet.length - 3;
    auto ack = [&](bool ok, std::uint8_t scene) {
        Reply(CMD_FLASH, subcmd, OP_ACK, {ok ? ACK_READY : ACK_NOT_READY, scene});
    };
    switch (subcmd) {
        case FLASH_UPG_START:
        case FLASH_UPG_DATA:
        case FLASH_UPG_FINISH:
            HandleUpgrade(packet);
            return;
        case kSave:
            if (optype != OP_SET || n < 2) return;
            if (p[0] >= kSceneCount) return ack(false, p[0]);
            mScenes[p[0]].settings = mDsp;
            mScenes[p[0]].valid = true;
            mCurrentScene = p[0];
            return ack(true, p[0]);
        case kRead:
            // Loads a stored scene into the live settings.
            if (optype != OP_SET || n < 2) return;
            if (p[0] >= kSceneCount || !mScenes[p[0]].valid) return ack(false, p[0]);
            mDsp = mScenes[p[0]].settings;
            mCurrentScene = p[0];
            return ack(true, p[0]);
        case kDelete:
            if (optype != OP_SET || n < 1) return;
            if (p[0] >= kSceneCount) return ack(false, p[0]);
            mScenes[p[0]] = StoredScene{};
            mScenes[p[0]].name.fill(0xFF);
            return ack(true, p[0]);
        case kName:
            if (optype == OP_SET) {
                if (n < 2 || p[0] >= kSceneCount || n < 2 + p[1]) return;
                auto& name = mScenes[p[0]].name;
                name.fill(0);
                for (int i = 0; i < p[1] && i < 16; ++i) name[i] = p[2 + i];
                return ack(true, p[0]);
            }
            if (optype == OP_GET && n >= 1 && p[0] >= 1 && p[0] <= kSceneCount) {
                const auto& name = mScenes[p[0] - 1].name;
                std::vector<std::uint8_t> reply(1 + name.size());
                reply[0] = p[0];
                for (std::size_t i = 0; i < name.size(); ++i) reply[1 + i] = name[i];
                Reply(CMD_FLASH, kName, OP_UPDATE, reply);
            }
            return;
        case kId:
            if (optype == OP_GET) Reply(CMD_FLASH, kId, OP_UPDATE, {mCurrentScene});
            return;
        case kValid: {
            if (optype != OP_GET) return;
            int valid = 0;
            for (int i = 0; i < kSceneCount; ++i) valid |= mScenes[i].valid ? 1 << i : 0;
            Reply(CMD_FLASH, kValid, OP_UPDATE,
                  {static_cast<std::uint8_t>(valid >> 8), static_cast<std::uint8_t>(valid)});
            return;
        }
        default:
            return;
    }
}

}  // namespace kavelo

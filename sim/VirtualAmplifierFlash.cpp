// The amplifier's flash: ten stored scenes with their names and the valid set,
// and the DSP flash upgrade. Scene numbers run 1..10; 0 is the live state.
#include "sim/VirtualAmplifier.h"

namespace kavelo {

namespace {
constexpr std::uint8_t kSave = 0x08, kRead = 0x09, kDelete = 0x0A, kName = 0x0B, kId = 0x0E,
                       kValid = 0x0F;
// ReadScene's destinations: the live settings, or the edit copy that the
// queries of that scene answer from.
constexpr std::uint8_t kToLive = 0, kToQueries = 255;

bool IsStoredScene(std::uint8_t scene) { return scene >= 1 && scene <= kAmpScenes; }
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
        case kSave: {
            // Store-now 1 keeps what was written to the scene's edit copy;
            // 0 saves the live settings into the scene.
            if (optype != OP_SET || n < 2) return;
            const std::uint8_t k = p[0];
            if (!IsStoredScene(k)) return ack(false, k);
            if (mRefusedSaves > 0) {
                --mRefusedSaves;
                return ack(false, k);
            }
            AmpStoredScene& scene = mScenes[k - 1];
            if (p[1] == 0) mSceneEdits[k - 1] = mLive.settings;
            scene.settings = mSceneEdits[k - 1];
            scene.valid = true;
            mCurrentScene = k;
            ScenesChanged();
            return ack(true, k);
        }
        case kRead: {
            if (optype != OP_SET || n < 2) return;
            const std::uint8_t k = p[0];
            if (!IsStoredScene(k) || !mScenes[k - 1].valid) return ack(false, k);
            if (p[1] == kToLive) {
                mLive.settings = mScenes[k - 1].settings;
                mCurrentScene = k;
                ScenesChanged();
            } else if (p[1] == kToQueries) {
                mSceneEdits[k - 1] = mScenes[k - 1].settings;
            } else {
                return ack(false, k);
            }
            return ack(true, k);
        }
        case kDelete: {
            if (optype != OP_SET || n < 1) return;
            const std::uint8_t k = p[0];
            if (!IsStoredScene(k)) return ack(false, k);
            mScenes[k - 1] = ErasedScene();
            mSceneEdits[k - 1] = mScenes[k - 1].settings;
            if (mCurrentScene == k) mCurrentScene = 0;
            ScenesChanged();
            return ack(true, k);
        }
        case kName:
            if (optype == OP_SET) {
                if (n < 2) return;
                const std::uint8_t k = p[0];
                if (!IsStoredScene(k) || n < 2 + p[1]) return ack(false, k);
                auto& name = mScenes[k - 1].name;
                name.fill(0);
                for (int i = 0; i < p[1] && i < kAmpSceneNameBytes; ++i) name[i] = p[2 + i];
                ScenesChanged();
                return ack(true, k);
            }
            if (optype == OP_GET && n >= 1 && IsStoredScene(p[0])) {
                const auto& name = mScenes[p[0] - 1].name;
                std::vector<std::uint8_t> reply(1 + name.size());
                reply[0] = p[0];
                for (std::size_t i = 0; i < name.size(); ++i) reply[1 + i] = name[i];
                Reply(CMD_FLASH, kName, OP_UPDATE, reply);
            } else if (optype == OP_GET) {
                Reply(CMD_FLASH, kName, OP_ACK, {ACK_NOT_READY, n >= 1 ? p[0] : std::uint8_t{0}});
            }
            return;
        case kId:
            if (optype == OP_GET) Reply(CMD_FLASH, kId, OP_UPDATE, {mCurrentScene});
            return;
        case kValid: {
            // Bit k - 1 stands for scene k.
            if (optype != OP_GET) return;
            int valid = 0;
            for (int i = 0; i < kAmpScenes; ++i) valid |= mScenes[i].valid ? 1 << i : 0;
            Reply(CMD_FLASH, kValid, OP_UPDATE,
                  {static_cast<std::uint8_t>(valid >> 8), static_cast<std::uint8_t>(valid)});
            return;
        }
        default:
            return;
    }
}

}  // namespace kavelo

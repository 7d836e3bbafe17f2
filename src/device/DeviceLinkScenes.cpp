// FLASH class scene commands: always sent at once with their own time-outs.
#include <string>

#include "base/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {

namespace {
constexpr std::uint8_t FLASH_SAVE_SCENE = 0x08;
constexpr std::uint8_t FLASH_READ_SCENE = 0x09;
constexpr std::uint8_t FLASH_DELETE_SCENE = 0x0A;
constexpr std::uint8_t FLASH_SCENE_NAME = 0x0B;
constexpr std::uint8_t FLASH_SCENE_ID = 0x0E;
constexpr std::uint8_t FLASH_SCENE_VALID = 0x0F;
// Storing to flash takes the amplifier longer than a setting change.
constexpr int kSceneStoreTimeoutMs = 20000;
}  // namespace

bool DeviceLink::SaveScene(std::uint8_t scene, std::uint8_t storeNow) {
    LogPrintA("SaveScene scene(%d) immediately=%d\n", scene, storeNow);
    const std::uint8_t payload[] = {scene, storeNow};
    return Exchange(CMD_FLASH, FLASH_SAVE_SCENE, OP_SET, payload, 2, kSceneStoreTimeoutMs);
}

bool DeviceLink::ReadScene(std::uint8_t fromScene, std::uint8_t toScene) {
    LogPrintA("ReadScene from scene(%d) to scene(%d)\n", fromScene, toScene);
    const std::uint8_t payload[] = {fromScene, toScene};
    return Exchange(CMD_FLASH, FLASH_READ_SCENE, OP_SET, payload, 2, kSceneStoreTimeoutMs);
}

bool DeviceLink::DeleteScene(std::uint8_t scene) {
    LogPrintA("DeleteScene scene(%d)\n", scene);
    const std::uint8_t payload[] = {scene};
    return Exchange(CMD_FLASH, FLASH_DELETE_SCENE, OP_SET, payload, 1, kSceneStoreTimeoutMs);
}

bool DeviceLink::SetSceneName(std::uint8_t scene, const std::vector<std::uint8_t>& name) {
    if (2 + name.size() > kMaxHostPayload) return false;
    const std::string text(name.begin(), name.end());
    LogPrintA("SetSceneName scene(%d), len(%d), (name)%s\n", scene, static_cast<int>(name.size()),
              text.c_str());
    std::vector<std::uint8_t> payload = {scene, static_cast<std::uint8_t>(name.size())};
    payload.insert(payload.end(), name.begin(), name.end());
    return Exchange(CMD_FLASH, FLASH_SCENE_NAME, OP_SET, payload.data(),
                    static_cast<std::uint8_t>(payload.size()), kDefaultReplyTimeoutMs);
}

bool DeviceLink::Get_Scene_Name(std::uint8_t nameIndex) {
    LogPrintA("Get_Scene_Name: index(%d)\n", nameIndex);
    const std::uint8_t payload[] = {nameIndex};
    return Exchange(CMD_FLASH, FLASH_SCENE_NAME, OP_GET, payload, 1, kDefaultReplyTimeoutMs);
}

bool DeviceLink::Get_Scene_ID() {
    LogPrintA("Get_Scene_ID\n");
    return Exchange(CMD_FLASH, FLASH_SCENE_ID, OP_GET, nullptr, 0, kDefaultReplyTimeoutMs);
}

bool DeviceLink::Get_Scene_Valid() {
    LogPrintA("Get_Scene_Valid\n");
    return Exchange(CMD_FLASH, FLASH_SCENE_VALID, OP_GET, nullptr, 0, kDefaultReplyTimeoutMs);
}

}  // namespace kavelo

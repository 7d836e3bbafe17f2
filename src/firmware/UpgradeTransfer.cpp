#include "firmware/UpgradeTransfer.h"

#include <algorithm>

namespace kavelo {

namespace {

void WriteBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

std::uint8_t Percent(std::size_t done, std::size_t total) {
    if (total == 0) return 0;
    return static_cast<std::uint8_t>(static_cast<std::uint64_t>(done) * 100 / total);
}

}  // namespace

bool TakeNextMcuBlock(UpgradeImages& images, UpgradeBlock* block) {
    const std::size_t length = images.mcuImage.size();
    std::size_t& remaining = images.mcuRemaining;
    if (remaining == 0 || remaining > length) return false;
    std::size_t n = kMcuBlockSize;
    if (remaining == length && length % kMcuBlockSize != 0) n = length % kMcuBlockSize;
    n = std::min(n, remaining);
    remaining -= n;
    block->offset = static_cast<std::uint32_t>(remaining);
    block->size = n;
    block->data = images.mcuImage.data() + remaining;
    return true;
}

bool TakeNextDspBlock(UpgradeImages& images, UpgradeBlock* block) {
    const std::size_t length = images.dspImage.size();
    std::size_t& sent = images.dspSent;
    if (sent >= length) return false;
    const std::size_t n = std::min(kDspBlockSize, length - sent);
    block->offset = static_cast<std::uint32_t>(sent);
    block->size = n;
    block->data = images.dspImage.data() + sent;
    sent += n;
    return true;
}

std::array<std::uint8_t, kMcuBlockPayloadSize> McuBlockPayload(const UpgradeBlock& block) {
    std::array<std::uint8_t, kMcuBlockPayloadSize> payload{};
    WriteBe32(payload.data(), block.offset);
    std::copy_n(block.data, std::min(block.size, kMcuBlockSize), payload.begin() + 4);
    return payload;
}

std::vector<std::uint8_t> DspBlockPayload(const UpgradeBlock& block) {
    const std::size_t n = std::min(block.size, kDspBlockSize);
    std::vector<std::uint8_t> payload(5 + n);
    WriteBe32(payload.data(), block.offset);
    payload[4] = static_cast<std::uint8_t>(n);
    std::copy_n(block.data, n, payload.begin() + 5);
    return payload;
}

std::uint8_t UpgradeProgress(const UpgradeImages& images) {
    if (images.upg_device == UPG_DEVICE_DSP_FLASH)
        return Percent(images.dspSent, images.dspImage.size());
    const std::size_t length = images.mcuImage.size();
    return Percent(length - std::min(images.mcuRemaining, length), length);
}

}  // namespace kavelo

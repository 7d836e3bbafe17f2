// DSP class queries: always sent at once; the reply is decoded during the read.
#include "base/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {

bool DeviceLink::DspGet(std::uint8_t subcmd, const std::vector<std::uint8_t>& payload) {
    return Exchange(CMD_DSP, subcmd, OP_GET, payload.data(),
                    static_cast<std::uint8_t>(payload.size()), kDefaultReplyTimeoutMs);
}

bool DeviceLink::RangeQuery(const char* name, std::uint8_t subcmd, std::uint8_t scene,
                            std::uint8_t source, int first, int last) {
    LogPrintA("%s: channel(%d) to channel(%d) @source(%d), scene(%d)\n", name, first, last, source,
              scene);
    std::vector<std::uint8_t> payload;
    if (!BuildRangePayload(scene, source, first, last, payload, [](int) {})) return false;
    return DspGet(subcmd, payload);
}

bool DeviceLink::Get_Source() {
    LogPrintA("Get_Source\n");
    return DspGet(0x01, {});
}
bool DeviceLink::Get_Main_Volume() {
    LogPrintA("Get_Main_Volume\n");
    return DspGet(0x02, {});
}
bool DeviceLink::Get_Subwoofer_Volume() {
    LogPrintA("Get_Subwoofer_Volume\n");
    return DspGet(0x03, {});
}
bool DeviceLink::Get_Mute() {
    LogPrintA("Get_Mute\n");
    return DspGet(0x04, {});
}
bool DeviceLink::Get_Filter(std::uint8_t scene, std::uint8_t source, int first, int last) {
    return RangeQuery("Get_Filter", 0x05, scene, source, first, last);
}
bool DeviceLink::Get_EQ(std::uint8_t scene, std::uint8_t source, std::uint8_t channel,
                        std::uint8_t firstBand, std::uint8_t lastBand) {
    LogPrintA("Get_EQ: band(%d) band_end(%d) @channel(%d) @source(%d), scene(%d)\n", firstBand,
              lastBand, channel, source, scene);
    return DspGet(0x06, {scene, source, channel, firstBand, lastBand});
}
bool DeviceLink::Get_Delay(std::uint8_t scene, std::uint8_t source, int first, int last) {
    return RangeQuery("Get_Delay", 0x07, scene, source, first, last);
}
bool DeviceLink::Get_Trim(std::uint8_t scene, std::uint8_t source, int first, int last) {
    return RangeQuery("Get_Trim", 0x08, scene, source, first, last);
}
bool DeviceLink::Get_Mute_Ch(std::uint8_t scene, std::uint8_t source, int first, int last) {
    return RangeQuery("Get_Mute_Ch", 0x09, scene, source, first, last);
}
bool DeviceLink::Get_Phase(std::uint8_t scene, std::uint8_t source, int first, int last) {
    return RangeQuery("Get_Phase", 0x0A, scene, source, first, last);
}
bool DeviceLink::Get_Mix_Ch(std::uint8_t scene, std::uint8_t input, int first, int last) {
    return RangeQuery("Get_Mix_Ch", 0x0B, scene, input, first, last);
}
bool DeviceLink::Get_CH_Type(std::uint8_t scene, std::uint8_t source, int first, int last) {
    return RangeQuery("Get_CH_Type", 0x0D, scene, source, first, last);
}
bool DeviceLink::Get_CH_Link(std::uint8_t scene) {
    LogPrintA("Get_CH_Link: scene(%d)\n", scene);
    return DspGet(0x0E, {scene});
}
bool DeviceLink::Get_CH_Lock(std::uint8_t scene) {
    LogPrintA("Get_CH_Lock: scene(%d)\n", scene);
    return DspGet(0x0F, {scene});
}
bool DeviceLink::Get_PEQ_Bypass(std::uint8_t scene, std::uint8_t source, int first, int last) {
    return RangeQuery("Get_PEQ_Bypass", 0x12, scene, source, first, last);
}
bool DeviceLink::IRC_Get() {
    LogPrintA("IRC_Get\n");
    return DspGet(0x13, {});
}
bool DeviceLink::IRC_Get_EQ(std::uint8_t channel, std::uint8_t firstBand, std::uint8_t lastBand) {
    LogPrintA("IRC_Get_EQ: channel(%d), band(%d) to band(%d)\n", channel, firstBand, lastBand);
    return DspGet(0x16, {channel, firstBand, lastBand});
}
bool DeviceLink::IRC_Get_Spectrum(std::uint8_t channel, std::uint8_t firstBand,
                                  std::uint8_t lastBand) {
    LogPrintA("IRC_Get_Spectrum: channel(%d), band(%d) to band(%d)\n", channel, firstBand,
              lastBand);
    return DspGet(0x1A, {channel, firstBand, lastBand});
}
bool DeviceLink::Get_Input_Mix_CH_Trim(std::uint8_t scene, std::uint8_t source,
                                       std::uint8_t inputChannel, int firstOutput, int lastOutput) {
    LogPrintA("Get_Input_Mix_CH_Trim: scene(%d), source(%d), in_channel(%d), out(%d to %d)\n",
              scene, source, inputChannel, firstOutput, lastOutput);
    if (firstOutput < 0 || firstOutput > kLastChannel) return false;
    const int last =
        lastOutput < firstOutput ? lastOutput : ClampRange(firstOutput, lastOutput).last;
    return DspGet(0x24, {scene, source, inputChannel, static_cast<std::uint8_t>(firstOutput),
                         static_cast<std::uint8_t>(last)});
}
bool DeviceLink::Get_Ch_Solo(std::uint8_t scene, std::uint8_t source, int first, int last) {
    return RangeQuery("Get_Ch_Solo", 0x34, scene, source, first, last);
}
bool DeviceLink::Get_Speaker_Config() {
    LogPrintA("Get_Speaker_Config\n");
    return DspGet(0x35, {});
}
bool DeviceLink::Get_Amp_Mute() {
    LogPrintA("Get_Amp_Mute\n");
    return DspGet(0x3F, {});
}

}  // namespace kavelo

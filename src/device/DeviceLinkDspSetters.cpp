// DSP class setters: payload layouts and their log lines.
#include "base/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {

namespace {
constexpr std::uint8_t DSP_SOURCE = 0x01;
constexpr std::uint8_t DSP_MAIN_VOLUME = 0x02;
constexpr std::uint8_t DSP_MUTE = 0x04;
constexpr std::uint8_t DSP_FILTER = 0x05;
constexpr std::uint8_t DSP_EQ = 0x06;
constexpr std::uint8_t DSP_DELAY = 0x07;
constexpr std::uint8_t DSP_TRIM = 0x08;
constexpr std::uint8_t DSP_MUTE_CH = 0x09;
constexpr std::uint8_t DSP_PHASE = 0x0A;
constexpr std::uint8_t DSP_MIX_CH = 0x0B;
constexpr std::uint8_t DSP_CH_TYPE = 0x0D;
constexpr std::uint8_t DSP_CH_LINK = 0x0E;
constexpr std::uint8_t DSP_CH_LOCK = 0x0F;
constexpr std::uint8_t DSP_PEQ_RESET = 0x11;
constexpr std::uint8_t DSP_PEQ_BYPASS = 0x12;
constexpr std::uint8_t DSP_IRC = 0x13;
constexpr std::uint8_t DSP_IRC_TEST_MODULE = 0x1E;
constexpr std::uint8_t DSP_INPUT_MIX_TRIM = 0x24;
constexpr std::uint8_t DSP_AMP_MUTE = 0x3F;
constexpr std::uint8_t DSP_MEM_DATA = 0x42;
}  // namespace

void DeviceLink::SetLinkConfig(int modelId, int outputChannels, int mixWidth, int trimMode,
                               int fifth) {
    std::lock_guard<std::mutex> lock(mConfigMutex);
    mLinkConfig = LinkConfig{modelId, outputChannels, mixWidth, trimMode, fifth};
}

LinkConfig DeviceLink::GetLinkConfig() const {
    std::lock_guard<std::mutex> lock(mConfigMutex);
    return mLinkConfig;
}

bool DeviceLink::DspSet(std::uint8_t subcmd, const std::vector<std::uint8_t>& payload,
                        bool syncMode) {
    return SendOrQueue(CMD_DSP, subcmd, OP_SET, payload.data(),
                       static_cast<std::uint8_t>(payload.size()), syncMode);
}

bool DeviceLink::Source_Switch_Ctrl(std::uint8_t source, bool syncMode) {
    LogPrintA("Source_Switch_Ctrl: source(0x%x)\n", source);
    return DspSet(DSP_SOURCE, {source}, syncMode);
}

bool DeviceLink::Main_Volume_Ctrl(float volume, bool syncMode) {
    LogPrintA("Main_Volume_Ctrl gain:(%.1f) \n", volume);
    return DspSet(DSP_MAIN_VOLUME, {EncodeSignedByte(volume)}, syncMode);
}

bool DeviceLink::Mute_Ctrl(int mute, bool syncMode) {
    LogPrintA("Mute_Ctrl %d\n", mute);
    const std::uint8_t payload[1] = {static_cast<std::uint8_t>(mute)};
    if (syncMode) return Exchange(CMD_DSP, DSP_MUTE, OP_SET, payload, 1, kDefaultReplyTimeoutMs);
    if (!IsCmdQueueEnabled()) {
        LogPrintA("Mute_Ctrl free\n");
        return false;
    }
    const bool queued = EnqueueCommand(CMD_DSP, DSP_MUTE, OP_SET, payload, 1);
    LogPrintA("Mute_Ctrl enqueued %s\n", queued ? "succeed" : "failed");
    return queued;
}

bool DeviceLink::Filter_Ctrl(std::uint8_t scene, std::uint8_t source, std::uint8_t channel,
                             std::uint8_t filter, std::uint8_t type, std::uint16_t frequency,
                             std::uint8_t slope, bool syncMode) {
    LogPrintA(
        "Filter_Ctrl scene@(%d), source(%d), ch(%d), iFilter(%d), freq(%d), slope(%d), "
        "type(%d)\n",
        scene, source, channel, filter, frequency, slope, type);
    std::vector<std::uint8_t> payload = {scene, source, channel, filter, type};
    AppendBe16(payload, frequency);
    payload.push_back(slope);
    return DspSet(DSP_FILTER, payload, syncMode);
}

bool DeviceLink::EQ_Ctrl(std::uint8_t scene, std::uint8_t source, std::uint8_t channel,
                         std::uint8_t band, std::uint16_t frequency, float q, float gainDb,
                         bool syncMode) {
    LogPrintA("EQ_Ctrl: gain(%.2f) ,freqValue(%d) ,qValue(%f) @ band(%d) @channel(%d) @scene(%d)\n",
              gainDb, frequency, q, band, channel, scene);
    std::vector<std::uint8_t> payload = {scene, source, channel, band};
    AppendBe16(payload, frequency);
    for (std::uint8_t b : EncodeQuality(q)) payload.push_back(b);
    for (std::uint8_t b : EncodeGain(gainDb)) payload.push_back(b);
    return DspSet(DSP_EQ, payload, syncMode);
}

bool DeviceLink::Delay_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                            const ChannelArray<float>& delayMs, bool syncMode) {
    std::vector<std::uint8_t> payload;
    const bool ok = BuildRangePayload(scene, source, first, last, payload, [&](int channel) {
        LogPrintA("Delay_Ctrl: scene(%d), channel(%d), delay(%.3f)\n", scene, channel,
                  delayMs[channel]);
        for (std::uint8_t b : EncodeDelay(delayMs[channel])) payload.push_back(b);
    });
    return ok && DspSet(DSP_DELAY, payload, syncMode);
}

bool DeviceLink::Trim_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                           const ChannelArray<float>& trimDb, bool syncMode) {
    LogPrintA("destch_x = %d, dest_chy = %d\n", first, last);
    std::vector<std::uint8_t> payload;
    const bool ok = BuildRangePayload(scene, source, first, last, payload, [&](int channel) {
        LogPrintA("Trim_Ctrl: scene(%d), channel(%d), trim(%.2f)\n", scene, channel,
                  trimDb[channel]);
        payload.push_back(EncodeSignedByte(trimDb[channel]));
    });
    return ok && DspSet(DSP_TRIM, payload, syncMode);
}

bool DeviceLink::ByteRangeSet(std::uint8_t subcmd, const char* format, std::uint8_t scene,
                              std::uint8_t source, int first, int last,
                              const ChannelArray<std::uint8_t>& values, bool syncMode) {
    std::vector<std::uint8_t> payload;
    const bool ok = BuildRangePayload(scene, source, first, last, payload, [&](int channel) {
        LogPrintA(format, scene, channel, values[channel]);
        payload.push_back(values[channel]);
    });
    return ok && DspSet(subcmd, payload, syncMode);
}

bool DeviceLink::Mute_Ch_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                              const ChannelArray<std::uint8_t>& mute, bool syncMode) {
    return ByteRangeSet(DSP_MUTE_CH, "Mute_Ch_Ctrl: scene(%d), channel(%d), mute(%d)\n", scene,
                        source, first, last, mute, syncMode);
}

bool DeviceLink::Phase_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                            const ChannelArray<std::uint8_t>& phase, bool syncMode) {
    return ByteRangeSet(DSP_PHASE, "Phase_Ctrl: scene(%d), channel(%d), phase(%d)\n", scene, source,
                        first, last, phase, syncMode);
}

bool DeviceLink::PEQ_Bypass_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                                 const ChannelArray<std::uint8_t>& bypass, bool syncMode) {
    return ByteRangeSet(DSP_PEQ_BYPASS, "PEQ_Bypass_Ctrl: scene(%d), channel(%d), bypass(%d)\n",
                        scene, source, first, last, bypass, syncMode);
}

bool DeviceLink::Mix_Ch_Ctrl(std::uint8_t scene, std::uint8_t input, int first, int last,
                             const ChannelArray<std::uint16_t>& inputSelection, bool syncMode) {
    const bool wide = GetLinkConfig().mixWidth > 8;
    std::vector<std::uint8_t> payload;
    const bool ok = BuildRangePayload(scene, input, first, last, payload, [&](int channel) {
        LogPrintA("Mix_Ch_Ctrl: scene(%d), source(%d), output_channel(%d), input_ch(0x%x)\n", scene,
                  input, channel, inputSelection[channel]);
        if (wide) {
            AppendBe16(payload, inputSelection[channel]);
        } else {
            payload.push_back(static_cast<std::uint8_t>(inputSelection[channel] & 0xFF));
        }
    });
    return ok && DspSet(DSP_MIX_CH, payload, syncMode);
}

bool DeviceLink::CH_Type_Ctrl(std::uint8_t scene, std::uint8_t source, int first, int last,
                              const ChannelArray<std::uint8_t>& type, bool syncMode) {
    LogPrintA("CH_Type_Ctrl scene(%d), source(%d), ch_x(%d), ch_y(%d)\n", scene, source, first,
              last);
    std::vector<std::uint8_t> payload;
    const bool ok = BuildRangePayload(scene, source, first, last, payload, [&](int channel) {
        LogPrintA("CH_Type_Ctrl channel(%d) -> t_ch_type(0x%x)\n", channel, type[channel]);
        payload.push_back(type[channel]);
    });
    return ok && DspSet(DSP_CH_TYPE, payload, syncMode);
}

bool DeviceLink::CH_Link_Ctrl(std::uint8_t scene, std::uint8_t linkMode,
                              const std::vector<std::array<std::uint8_t, 2>>& pairs,
                              bool syncMode) {
    // 3 + 2n bytes must fit one report.
    if (3 + 2 * pairs.size() > kMaxHostPayload) {
        LogPrintA("CH_Link_Ctrl: %d pairs do not fit one report, not sent\n",
                  static_cast<int>(pairs.size()));
        return false;
    }
    LogPrintA("CH_Link_Ctrl scene(%d), link(%d), ch_count(%d)\n", scene, linkMode,
              static_cast<int>(pairs.size()));
    std::vector<std::uint8_t> payload = {scene, linkMode, static_cast<std::uint8_t>(pairs.size())};
    for (const auto& pair : pairs) {
        LogPrintA("from ch(%d) to ch(%d)\n", pair[0], pair[1]);
        payload.push_back(pair[0]);
        payload.push_back(pair[1]);
    }
    return DspSet(DSP_CH_LINK, payload, syncMode);
}

bool DeviceLink::CH_Lock_Ctrl(std::uint8_t scene, std::uint16_t lock, bool syncMode) {
    std::vector<std::uint8_t> payload = {scene};
    AppendBe16(payload, lock);
    return DspSet(DSP_CH_LOCK, payload, syncMode);
}

bool DeviceLink::PEQ_Reset_Ctrl(std::uint8_t scene, std::uint8_t source,
                                const std::vector<std::uint8_t>& channels, bool syncMode) {
    if (3 + channels.size() > kMaxHostPayload) return false;
    LogPrintA("PEQ_Reset_Ctrl: scene(%d), ch_count(%d), ", scene,
              static_cast<int>(channels.size()));
    std::vector<std::uint8_t> payload = {scene, source, static_cast<std::uint8_t>(channels.size())};
    for (std::uint8_t channel : channels) {
        LogPrintA("ch(%d), ", channel);
        payload.push_back(channel);
    }
    LogPrintA("\n");
    return DspSet(DSP_PEQ_RESET, payload, syncMode);
}

bool DeviceLink::IRC_Ctrl(std::uint8_t on, std::uint16_t channelMask, std::uint8_t eqMode,
                          bool syncMode) {
    LogPrintA("IRC_Ctrl: on(%d), ircch=0x%x, irc_eqmode = %d, syncMode(%d)\n", on, channelMask,
              eqMode, syncMode ? 1 : 0);
    std::vector<std::uint8_t> payload = {on};
    AppendBe16(payload, channelMask);
    payload.push_back(eqMode);
    return DspSet(DSP_IRC, payload, syncMode);
}

bool DeviceLink::IRC_Sel_Test_Module(std::uint8_t module, bool syncMode) {
    LogPrintA("IRC_Sel_Test_Module: Module(0x%x), syncMode(%d)\n", module, syncMode ? 1 : 0);
    return DspSet(DSP_IRC_TEST_MODULE, {module}, syncMode);
}

bool DeviceLink::Input_Mix_Trim_Ctrl(std::uint8_t scene, std::uint8_t source,
                                     std::uint8_t inputChannel, int firstOutput, int lastOutput,
                                     const ChannelArray<std::uint8_t>& trim, bool syncMode) {
    if (firstOutput < 0 || firstOutput > kLastChannel) return false;
    const ChannelRange range = ClampRange(firstOutput, lastOutput);
    const int shownLast = lastOutput < firstOutput ? lastOutput : range.last;
    LogPrintA("Input_Mix_Trim_Ctrl: scene(%d), source(%d), in_channel(%d),out_channel(%d to %d), ",
              scene, source, inputChannel, firstOutput, shownLast);
    std::vector<std::uint8_t> payload = {scene, source, inputChannel,
                                         static_cast<std::uint8_t>(firstOutput),
                                         static_cast<std::uint8_t>(shownLast)};
    for (int channel = range.first; channel <= range.last; ++channel) {
        LogPrintA("out_ch(%d)=trim(%d), ", channel, trim[channel]);
        payload.push_back(trim[channel]);
    }
    LogPrintA("\n");
    return DspSet(DSP_INPUT_MIX_TRIM, payload, syncMode);
}

bool DeviceLink::Amp_Mute_Ctrl(std::uint8_t mute, bool syncMode) {
    LogPrintA("Amp_Mute_Ctrl t_mute(%d)\n", mute);
    return DspSet(DSP_AMP_MUTE, {mute}, syncMode);
}

namespace {
std::vector<std::uint8_t> MemPayload(std::uint32_t address, std::uint32_t data) {
    LogPrintA("Get_MemData: addr(0x%08x), data(0x%08x)\n", address, data);
    std::vector<std::uint8_t> payload;
    AppendLe32(payload, address);
    AppendLe32(payload, data);
    LogPrintA("addr %02x, %02x, %02x, %02x\n", payload[0], payload[1], payload[2], payload[3]);
    LogPrintA("data %02x, %02x, %02x, %02x\n", payload[4], payload[5], payload[6], payload[7]);
    return payload;
}
}  // namespace

bool DeviceLink::Set_MemData(std::uint32_t address, std::uint32_t data, bool syncMode) {
    return DspSet(DSP_MEM_DATA, MemPayload(address, data), syncMode);
}

bool DeviceLink::Get_MemData(std::uint32_t address) {
    return DspGet(DSP_MEM_DATA, MemPayload(address, 0));
}

}  // namespace kavelo

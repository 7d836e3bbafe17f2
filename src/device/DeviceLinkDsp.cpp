// The DSP class replies: decoded into records and posted to the receivers.
#include <string>

#include "base/Log.h"
#include "device/DeviceLink.h"
#include "device/DspDecoding.h"

namespace kavelo {

namespace {

const char* const kIrcStatusNames[] = {
    "IRC_RET_START_TEST\n",       "IRC_RET_SPK_STATUS_TEST\n",    "IRC_RET_LEVEL_TEST\n",
    "IRC_RET_DELAY_TEST\n",       "IRC_RET_TRIM_TEST\n",          "IRC_RET_EQ_TEST\n",
    "IRC_RET_SPEAKER_RTA_TEST\n", "IRC_RET_SPEAKER_RTA_UPDATE\n", "IRC_RET_EQ_DATA_UPDATE\n",
    "IRC_RET_TEST_DATA_UPDATE\n", "IRC_RET_TEST_DONE\n"};
const char* const kIrcFailNames[] = {"IRC_FAIL_NO_VAR\n",     "IRC_FAIL_NO_MIC\n",
                                     "IRC_FAIL_NO_SPEAKER\n", "IRC_FAIL_DELAY\n",
                                     "IRC_FAIL_TRIM\n",       "IRC_FAIL_EQ\n"};

const char* const kRangeHead = " OP=0x%x, scene =%d, source = 0x%x, from ch(%d) to ch_end(%d)\n";

// Band, frequency, Q and gain of an EQ band block, logged; shared by the
// channel EQ and the calibration EQ replies.
template <typename Record>
void FillEqBand(Record& r, const ReplyPayload& p, int band, int at) {
    const EqBand decoded = DecodeEqBand(p, at);
    r.band = band;
    r.frequency = decoded.frequency;
    r.q = decoded.q;
    r.gain = decoded.gain;
    LogPrintA("band(%d), freq(%d), Q(%1.2f), Gain(%.2f)\n", band, r.frequency, r.q, r.gain);
}

}  // namespace

void DeviceLink::dsp_ack_process(std::uint8_t length, const std::uint8_t* body) {
    const std::uint8_t subcmd = body[0];
    const std::uint8_t optype = body[1];
    const ReplyPayload p(body + 2, length >= 3 ? length - 3 : 0);
    LogPrintA("dsp_ack_process: cmd(0x%08x)\n", subcmd);

    auto postMain = [&](Payload value) {
        Post(MainReceiver, WM_READ_DSP_VALUE, subcmd, std::move(value));
    };
    auto postIrc = [&](std::uintptr_t wParam, Payload value) {
        Post(IrcReceiver, WM_READ_IRC_VALUE, wParam, std::move(value));
    };
    auto number = [](std::int64_t v) { return Payload{v}; };
    // Range replies: header, then `each(channel, k)` for the channels whose
    // entries arrived within the packet.
    auto range = [&](const char* name, int entrySize, auto each) {
        if (!p.Has(0, 4)) return;
        if (name) {
            const std::string head = std::string(name) + kRangeHead;
            LogPrintA(head.c_str(), optype, p[0], p[1], p[2], p[3]);
        }
        ForEachRangeEntry(p, entrySize, each);
    };

    switch (subcmd) {
        case 0x01:
            if (optype != OP_UPDATE || !p.Has(0, 1)) return;
            LogPrintA("DSP_SOURCE_SWITCH OP=0x%x, source = 0x%x\n", optype, p[0]);
            postMain(number(p[0]));
            return;
        case 0x02:
            if (optype == OP_ACK) {
                LogPrintA("DSP_VOLUME OP_ACK\n");
                return;
            }
            if (optype != OP_UPDATE || !p.Has(0, 1)) return;
            LogPrintA("DSP_VOLUME OP_UPDATE, MVol = %d\n", p.Signed(0));
            postMain(number(p.Signed(0)));
            return;
        case 0x03:
            if (optype != OP_UPDATE || !p.Has(0, 1)) return;
            LogPrintA("DSP_SUBWOOFER_VOLUME OP=0x%x, SUBW Vol = %d\n", optype, p.Signed(0));
            postMain(number(p.Signed(0)));
            return;
        case 0x04:
            if (optype != OP_UPDATE || !p.Has(0, 1)) return;
            LogPrintA("DSP_MUTE OP=0x%x, MUTE = %d\n", optype, p[0]);
            postMain(number(p[0]));
            return;
        case 0x05:
            if (optype != OP_UPDATE) return;
            range("DSP_FILTER_GET", 8, [&](int channel, int at) {
                DspFilterRecord r;
                r.scene = p[0];
                r.channel = channel;
                r.hpType = p[at];
                r.hpFrequency = p.Be16(at + 1);
                r.hpSlope = p[at + 3];
                r.lpType = p[at + 4];
                r.lpFrequency = p.Be16(at + 5);
                r.lpSlope = p[at + 7];
                LogPrintA(
                    "ch(%d): hp_type = %d, hp_freq = %d, hp_slope = %d, lp_type = %d, lp_freq = "
                    "%d, lp_slope = %d\n",
                    channel, r.hpType, r.hpFrequency, r.hpSlope, r.lpType, r.lpFrequency,
                    r.lpSlope);
                postMain(r);
            });
            return;
        case 0x06: {
            if (optype != OP_UPDATE || !p.Has(0, 5)) return;
            LogPrintA("DSP_EQ_CH OP=0x%x, scene =%d, source = %d, ch= %d, band=%d, band_end = %d\n",
                      optype, p[0], p[1], p[2], p[3], p[4]);
            ForEachBand(p, 3, 5, 6, [&](int band, int at) {
                DspEqBandRecord r;
                r.scene = p[0];
                r.channel = p[2];
                FillEqBand(r, p, band, at);
                postMain(r);
            });
            return;
        }
        case 0x07:
            if (optype != OP_UPDATE) return;
            range("DSP_DELAY_CH", 3, [&](int channel, int at) {
                DspDelayRecord r;
                r.scene = p[0];
                r.channel = channel;
                r.delayMs = DecodeDelay(p[at], p[at + 1], p[at + 2]);
                LogPrintA("ch(%d), delay(%.3f)\n", channel, r.delayMs);
                postMain(r);
            });
            return;
        case 0x08:
            if (optype != OP_UPDATE) return;
            range("DSP_TRIM_CH", 1, [&](int channel, int at) {
                DspTrimRecord r;
                r.scene = p[0];
                r.channel = channel;
                r.trimDb = static_cast<float>(p.Signed(at));
                LogPrintA("ch(%d), trim(%.2f)\n", channel, r.trimDb);
                postMain(r);
            });
            return;
        case 0x09:
        case 0x0A:
        case 0x0D:
        case 0x12:
        case 0x34: {
            if (subcmd == 0x0D && optype == OP_ACK) {
                LogPrintA("DSP_CH_TYPE OP_ACK\n");
                return;
            }
            if (optype != OP_UPDATE) return;
            const ChannelReply& kind = ChannelReplyOf(subcmd);
            range(kind.head, 1, [&](int channel, int at) {
                DspChannelValueRecord r;
                r.scene = p[0];
                r.channel = channel;
                r.value = subcmd == 0x0A ? p.Signed(at) : p[at];
                LogPrintA(kind.line, channel, r.value);
                postMain(r);
            });
            return;
        }
        case 0x0B:
            if (optype != OP_UPDATE) return;
            range("DSP_MIX_CH", 1, [&](int channel, int at) {
                DspMixRecord r;
                r.scene = p[0];
                r.source = p[1];
                r.channel = channel;
                r.mix = p[at];
                LogPrintA("source(%d) ch(%d), mix(%d)\n", r.source, channel, r.mix);
                postMain(r);
            });
            return;
        case 0x0E: {
            if (optype != OP_UPDATE || !p.Has(0, 6)) return;
            DspLinkRecord r;
            r.scene = p[0];
            r.link = p[1];
            for (int i = 0; i < 4; ++i) r.links[i] = p[2 + i];
            LogPrintA("scene(%d), link(%d)\n", r.scene, r.link);
            postMain(r);
            return;
        }
        case 0x0F: {
            if (optype != OP_UPDATE || !p.Has(0, 2)) return;
            DspLockRecord r;
            r.scene = p[0];
            r.lock = p[1];
            LogPrintA("scene(%d), lock(%d)\n", r.scene, r.lock);
            postMain(r);
            return;
        }
        case 0x11:
            LogPrintA("DSP_EQ_RESET OP=0x%x, scene =%d, \n", optype, p.Has(0, 1) ? p[0] : 0);
            return;
        case 0x13: {
            if (optype != OP_UPDATE || !p.Has(0, 4)) return;
            const int s = p[0];
            LogPrintA("DSP_IRC_CTRL Update Status = 0x%x, progress = %d\n", p[0], p[3]);
            if (s <= 10) {
                LogPrintA("%s", kIrcStatusNames[s]);
                postIrc(s, number(s == 7 || s == 8 ? p[1] : p[3]));
            } else if (s == 11) {
                LogPrintA("IRC_RET_TEST_FAIL->");
                const int reason = p.Has(4, 1) ? p[4] : -1;
                if (reason >= 0 && reason <= 5) {
                    LogPrintA("%s", kIrcFailNames[reason]);
                    postIrc(s, number(reason));
                } else {
                    LogPrintA("\n");
                }
            } else if (s == 12) {
                LogPrintA("IRC_RET_TEST_EXIT\n");
                postIrc(s, number(p[3]));
            }
            return;
        }
        case 0x14:
            if (optype != OP_UPDATE || !p.Has(0, 2)) return;
            LogPrintA("DSP_IRC_DISTANCE Update from ch(%d) to ch_end(%d) \n", p[0], p[1]);
            ForEachBand(p, 0, 2, 2, [&](int channel, int at) {
                IrcValueRecord r;
                r.channel = channel;
                r.value = static_cast<float>(p[at] + p[at + 1] / 100.0);
                LogPrintA("ch(%d), distance(%f)\n", channel, r.value);
                postIrc(subcmd, r);
            });
            return;
        case 0x16:
            if (optype != OP_UPDATE || !p.Has(0, 3)) return;
            LogPrintA("DSP_IRC_EQ Update from ch(%d) from band(%d) to band_end(%d) \n", p[0], p[1],
                      p[2]);
            ForEachBand(p, 1, 3, 6, [&](int band, int at) {
                IrcEqBandRecord r;
                r.channel = p[0];
                FillEqBand(r, p, band, at);
                postIrc(subcmd, r);
            });
            return;
        case 0x1A:
            if (optype != OP_UPDATE || !p.Has(0, 3)) return;
            LogPrintA("DSP_IRC_SPECTRUM Update from band(%d) to band_end(%d) @ ch(%d) \n", p[1],
                      p[2], p[0]);
            ForEachBand(p, 1, 3, 5, [&](int band, int at) {
                IrcSpectrumRecord r;
                r.channel = p[0];
                r.band = band;
                r.frequency = static_cast<float>(p.Be16(at) + p.Signed(at + 2) / 100.0);
                r.gain = static_cast<float>(p.Signed(at + 3) + p.Signed(at + 4) / 100.0);
                LogPrintA("band(%d), freq(%f), Gain(%f)\n", band, r.frequency, r.gain);
                postIrc(subcmd, r);
            });
            return;
        case 0x24: {
            if (optype != OP_UPDATE || !p.Has(0, 5)) return;
            DspInputMixTrimRecord r;
            r.scene = p[0];
            r.source = p[1];
            r.inputChannel = p[2];
            r.firstOutput = p[3];
            r.lastOutput = p[4];
            LogPrintA(
                "DSP_INPUT_MIX_CH_TRIM OP=0x%x, scene =%d, source = 0x%x, in_ch(%d) from "
                "out_ch(%d) to out_ch_end(%d)\n",
                optype, p[0], p[1], p[2], p[3], p[4]);
            LogPrintA("in_ch(%d) -> out_ch_x(%d) to out_ch_y(%d), ", p[2], p[3], p[4]);
            const ChannelRange outputs = ClampRange(p[3], p[4]);
            for (int c = outputs.first, i = 0; c <= outputs.last && p.Has(5 + i, 1); ++c, ++i) {
                r.trim[i] = p[5 + i];
                LogPrintA("trim[%d]=(%d),", i, r.trim[i]);
            }
            LogPrintA("\n");
            postMain(r);
            return;
        }
        case 0x26:
            if (optype != OP_UPDATE || !p.Has(0, 1)) return;
            LogPrintA("input_threshold = %d\n", p.Signed(0));
            postMain(number(p.Signed(0)));
            return;
        case 0x35:
            if (optype != OP_UPDATE || !p.Has(0, 1)) return;
            LogPrintA("DSP_SPK_CH_CONFIG spk_cfg(0x%02x)\n", p[0]);
            postMain(DspSpeakerConfigRecord{p[0]});
            return;
        case 0x37:
        case 0x38: {
            if (optype != OP_UPDATE || !p.Has(0, 4)) return;
            DspQFactRecord r;
            r.scene = p[0];
            r.source = p[1];
            r.first = p[2];
            r.last = p[3];
            LogPrintA(subcmd == 0x37 ? "DSP_HPF_Q_FACT_MODE OP=0x%x, ch_x=%d, ch_y = %d\n"
                                     : "DSP_LPF_Q_FACT_MODE OP=0x%x, ch_x=%d, ch_y = %d\n",
                      optype, p[2], p[3]);
            ForEachRangeEntry(p, 1, [&](int channel, int at) {
                r.mode[channel] = p[at];
                LogPrintA("q_fact_mode[%d]=(%d),", channel, p[at]);
            });
            LogPrintA("\n");
            postMain(r);
            return;
        }
        case 0x39:
        case 0x3A:
        case 0x3B:
        case 0x3F:
        case 0x46: {
            if (optype != OP_UPDATE || !p.Has(0, 1)) return;
            switch (subcmd) {
                case 0x39:
                    LogPrintA("fac_preset mode = %d\n", p[0]);
                    break;
                case 0x3A:
                    LogPrintA("setup_mode mode = %d\n", p[0]);
                    break;
                case 0x3B:
                    LogPrintA("DSP_AUTO_EFFECTION_ON_OFF_CONTROL%d\n", p[0]);
                    break;
                case 0x3F:
                    LogPrintA("DSP_AMP_MUTE OP=0x%x, MUTE = %d\n", optype, p[0]);
                    break;
                default:
                    LogPrintA("DSP_DSP_STATUS OP=0x%x, on_off = 0x%x\n", optype, p[0]);
                    break;
            }
            postMain(number(p[0]));
            return;
        }
        case 0x3E: {
            if (optype != OP_UPDATE || !p.Has(0, 15)) return;
            LogPrintA(
                "DSP_COMPRESSOR_GET OP=0x%x, scene =%d, source =%d, from ch(%d) to ch_end(%d)\n",
                optype, p[0], p[1], p[2], p[3]);
            // The layout of a second channel is unknown: only one-channel replies are used.
            if (p[3] != p[2] || p[2] > kLastChannel) {
                LogPrintA("DSP_COMPRESSOR_GET: more than one channel, reply ignored\n");
                return;
            }
            DspCompressorRecord r;
            r.scene = p[0];
            r.channel = p[2];
            r.bypass = p[4];
            r.threshold = static_cast<std::int32_t>(p[5] + p[6] / 10.0 - 100);
            r.ratio = static_cast<float>(p[7] + p[8] / 10.0);
            r.softKnee = static_cast<float>(p[9] + p[10] / 10.0);
            r.attack = p.Be16(11);
            r.release = p.Be16(13);
            LogPrintA(
                "ch(%d): bypass = %d, noise = (%f), ratio = (%f), soft_knee =(%f), attack_time = "
                "%d, release_time = %d\n",
                r.channel, r.bypass, static_cast<double>(r.threshold), r.ratio, r.softKnee,
                r.attack, r.release);
            postMain(r);
            return;
        }
        case 0x42: {
            if (optype != OP_UPDATE || !p.Has(0, 8)) return;
            DspMemRecord r;
            r.address = p.Le32(0);
            r.data = p.Le32(4);
            LogPrintA("DSP_MEM_DATA: addr(0x%08x), data(0x%08x)\n", r.address, r.data);
            LogPrintA("addr %02x, %02x, %02x, %02x\n", p[0], p[1], p[2], p[3]);
            LogPrintA("data %02x, %02x, %02x, %02x\n", p[4], p[5], p[6], p[7]);
            Post(MemReceiver, WM_READ_MEM_VALUE, subcmd, r);
            return;
        }
        default:
            LogPrintA("!!! NOT SUPPORT MSG\n");
            return;
    }
}

}  // namespace kavelo

#include "control/ReadBack.h"

#include <cmath>
#include <string>
#include <vector>

#include "base/BuildConstants.h"
#include "base/Log.h"
#include "control/Conversions.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"
#include "device/DeviceLink.h"

namespace kavelo {

namespace {

using Query = std::function<bool(DeviceLink&)>;

// Last output of the range queries.
constexpr int kLastOutput = kOutputChannels - 1;

// The live-state queries after the handshake, in the amplifier's order.
const std::vector<Query>& LiveStateQueries() {
    static const std::vector<Query> queries = [] {
        std::vector<Query> q;
        q.push_back([](DeviceLink& l) { return l.Get_Source(); });
        q.push_back([](DeviceLink& l) { return l.Get_Main_Volume(); });
        q.push_back([](DeviceLink& l) { return l.Get_Subwoofer_Volume(); });
        q.push_back([](DeviceLink& l) { return l.Get_Mute(); });
        q.push_back([](DeviceLink& l) { return l.Get_Amp_Mute(); });
        q.push_back([](DeviceLink& l) { return l.Get_Speaker_Config(); });
        q.push_back([](DeviceLink& l) { return l.Get_Scene_Valid(); });
        q.push_back([](DeviceLink& l) { return l.Get_Delay(0, 0, 0, kLastOutput); });
        q.push_back([](DeviceLink& l) { return l.Get_CH_Type(0, 0, 0, kLastOutput); });
        q.push_back([](DeviceLink& l) { return l.Get_Ch_Solo(0, 0, 0, kLastOutput); });
        q.push_back([](DeviceLink& l) { return l.Get_CH_Link(0); });
        q.push_back([](DeviceLink& l) { return l.Get_CH_Lock(0); });
        q.push_back([](DeviceLink& l) { return l.Get_Filter(0, 0, 0, 3); });
        q.push_back([](DeviceLink& l) { return l.Get_Filter(0, 0, 4, 7); });
        q.push_back([](DeviceLink& l) { return l.Get_PEQ_Bypass(0, 0, 0, kLastOutput); });
        for (int ch = 0; ch < kOutputChannels; ++ch) {
            for (int first = 0; first < kEqBands; first += 8) {
                const int lastBand = first + 7 < kEqBands ? first + 7 : kEqBands - 1;
                q.push_back([ch, first, lastBand](DeviceLink& l) {
                    return l.Get_EQ(0, 0, static_cast<std::uint8_t>(ch),
                                    static_cast<std::uint8_t>(first),
                                    static_cast<std::uint8_t>(lastBand));
                });
            }
        }
        q.push_back([](DeviceLink& l) { return l.Get_Trim(0, 0, 0, kLastOutput); });
        q.push_back([](DeviceLink& l) { return l.Get_Mute_Ch(0, 0, 0, kLastOutput); });
        q.push_back([](DeviceLink& l) { return l.Get_Phase(0, 0, 0, kLastOutput); });
        for (int s = 0; s < kInputSources; ++s) {
            q.push_back([s](DeviceLink& l) {
                return l.Get_Mix_Ch(0, static_cast<std::uint8_t>(s), 0, kLastOutput);
            });
        }
        for (int s = 0; s < kInputSources; ++s) {
            for (int in = 0; in < InputChannelCount(s); ++in) {
                q.push_back([s, in](DeviceLink& l) {
                    return l.Get_Input_Mix_CH_Trim(0, static_cast<std::uint8_t>(s),
                                                   static_cast<std::uint8_t>(in), 0, kLastOutput);
                });
            }
        }
        for (int n = 1; n <= kSceneSlots; ++n) {
            q.push_back(
                [n](DeviceLink& l) { return l.Get_Scene_Name(static_cast<std::uint8_t>(n)); });
        }
        return q;
    }();
    return queries;
}

bool StopRequested(const ReadBackHooks& hooks) {
    return hooks.stopRequested && hooks.stopRequested();
}

// The state a per-scene record writes: live for scene 0, slot k for 1 ... 10,
// null for anything else.
DspState* TargetState(ControllerModel& model, int scene) {
    if (scene == 0) return &model.live;
    if (scene >= 1 && scene <= kSceneSlots) return &model.scenes[scene - 1];
    return nullptr;
}

bool ValidChannel(int channel) { return channel >= 0 && channel < kOutputChannels; }

template <typename T>
const T* As(const Payload& value) {
    return std::get_if<T>(&value);
}

// A plain-number report; false when the payload is something else.
bool Number(const Payload& value, int& out) {
    const std::int64_t* n = As<std::int64_t>(value);
    if (!n) return false;
    out = static_cast<int>(*n);
    return true;
}

ValueUpdate Update(UpdateKind kind, int scene = 0, int channel = -1) {
    ValueUpdate u;
    u.kind = kind;
    u.scene = scene;
    u.channel = channel;
    return u;
}

// For records aimed at a scene slot nothing is shown: keep the scene, drop the kind.
ValueUpdate ForScene(ValueUpdate u) {
    if (u.scene != 0) u.kind = UpdateKind::None;
    return u;
}

ValueUpdate ApplyLink(ControllerModel& model, const DspLinkRecord& r) {
    DspState* s = TargetState(model, r.scene);
    if (!s) return {};
    if (r.scene != 0) {
        s->linkMode = r.link == 1 ? 1 : 0;
        return ForScene(Update(UpdateKind::Link, r.scene));
    }
    if (r.link == 1) {
        s->linkMode = 1;
        s->lockMode = 1;
        ComputeLinkPairs(*s);
    } else {
        s->linkMode = 0;
        s->linkOutputs.fill(-1);
    }
    ValueUpdate u = Update(UpdateKind::Link);
    u.value = r.link;
    return u;
}

ValueUpdate ApplyLock(ControllerModel& model, const DspLockRecord& r) {
    DspState* s = TargetState(model, r.scene);
    if (!s) return {};
    s->lockMode = r.lock == 1 ? 1 : 0;
    if (r.scene != 0) return ForScene(Update(UpdateKind::Lock, r.scene));
    ValueUpdate u = Update(UpdateKind::Lock);
    u.value = r.lock;
    if (s->lockMode == 0 && s->linkMode == 1) {
        s->linkMode = 0;
        s->linkOutputs.fill(-1);
        u.unlinked = true;
    }
    return u;
}

ValueUpdate ApplyInputMixTrim(ControllerModel& model, const DspInputMixTrimRecord& r) {
    LogPrintA("DSP_INPUT_MIX_CH_TRIM source %d, in_ch %d out_ch_x %d, out_ch_y %d\n", r.source,
              r.inputChannel, r.firstOutput, r.lastOutput);
    DspState* s = TargetState(model, r.scene);
    if (!s || r.source < 0 || r.source >= kInputSources || r.inputChannel < 0 ||
        r.inputChannel >= kInputRows || r.firstOutput < 0) {
        return {};
    }
    for (int out = r.firstOutput, i = 0;
         out <= r.lastOutput && out < kOutputChannels && i < kRecordChannelSlots; ++out, ++i) {
        int level = static_cast<std::int8_t>(r.trim[i]);
        if (level < 1 && (s->inputs[r.source][out] & (1 << r.inputChannel)) != 0) level = 100;
        s->inputMixVolume[r.source][r.inputChannel][out] = level;
    }
    ValueUpdate u = Update(UpdateKind::Logged, r.scene);
    u.source = r.source;
    return ForScene(u);
}

ValueUpdate ApplyChannelValue(ControllerModel& model, int code, const DspChannelValueRecord& r) {
    DspState* s = TargetState(model, r.scene);
    if (!s || !ValidChannel(r.channel)) return {};
    ChannelState& ch = s->channels[r.channel];
    switch (code) {
        case 9:
            ch.mute = r.value;
            return ForScene(Update(UpdateKind::ChannelMute, r.scene, r.channel));
        case 10:
            ch.phase = r.value;
            return ForScene(Update(UpdateKind::Phase, r.scene, r.channel));
        case 13:
            // An unknown role would index past the role table: it counts as "empty".
            s->outputs[r.channel] = r.value >= 0 && r.value < kSpeakerRoles ? r.value : 0;
            return ForScene(Update(UpdateKind::Roles, r.scene, r.channel));
        case 18:
            ch.bypass = static_cast<std::uint8_t>(r.value);
            return ForScene(Update(UpdateKind::EqBypass, r.scene, r.channel));
        default:
            return {};
    }
}

}  // namespace

int RunStatusInit(DeviceLink& link, const ReadBackHooks& hooks) {
    DeviceLink::LogDateTime();
    LogPrintA("PC_UI_Status_Init\n");
    link.PC_Connect(1);
    if (hooks.afterPcConnect) hooks.afterPcConnect();
    if (StopRequested(hooks) || !link.Hand_Connect()) return -1;
    if (link.DeviceModel != MODEL_ID || !link.McuNormalMode) return 0;

    const int total = ReadBackExchangeCount();
    int done = 1;  // the handshake
    if (hooks.progress) hooks.progress(done, total);
    int missed = 0;
    for (const Query& query : LiveStateQueries()) {
        if (StopRequested(hooks) || !link.IsDeviceOpen()) {
            LogPrintA("PC_UI_Status_Init stopped\n");
            return -1;
        }
        missed = query(link) ? 0 : missed + 1;
        if (hooks.progress) hooks.progress(++done, total);
        if (missed >= kReadBackMaxMissedReplies) {
            LogPrintA("PC_UI_Status_Init: no reply to %d requests in a row, giving up\n", missed);
            return -1;
        }
    }
    LogPrintA("PC_UI_Status_Init done\n");
    DeviceLink::LogDateTime();
    return 0;
}

int ReadBackExchangeCount() { return 1 + static_cast<int>(LiveStateQueries().size()); }

ValueUpdate ApplyDspValue(ControllerModel& model, int code, const Payload& value) {
    LogPrintA("ReadDspValueCallback 0x%02x\n", code);
    DspState& live = model.live;
    int n = 0;
    switch (code) {
        case 1: {
            if (!Number(value, n)) return {};
            live.inputSource = InputSourceFromDeviceCode(n);
            return Update(UpdateKind::SourceSelector);
        }
        case 2: {
            if (!Number(value, n)) return {};
            LogPrintA("DSP_VOLUME %d \n", n);
            live.mainVolume = MainVolumeFromReported(n);
            LogPrintA("DSP_VOLUME UI:%d \n", live.mainVolume);
            return Update(UpdateKind::MainVolume);
        }
        case 4:
            if (!Number(value, n)) return {};
            live.mainVolumeMute = n;
            return Update(UpdateKind::MainMute);
        case 5: {
            const DspFilterRecord* r = As<DspFilterRecord>(value);
            DspState* s = r ? TargetState(model, r->scene) : nullptr;
            if (!s || !ValidChannel(r->channel)) return {};
            Crossover& x = s->channels[r->channel].crossover;
            SetFilterType(x.hp, r->hpType);
            SetFilterFs(x.hp, r->hpFrequency);
            SetFilterSlope(x.hp, r->hpSlope);
            SetFilterType(x.lp, r->lpType);
            SetFilterFs(x.lp, r->lpFrequency);
            SetFilterSlope(x.lp, r->lpSlope);
            return ForScene(Update(UpdateKind::Filter, r->scene, r->channel));
        }
        case 6: {
            const DspEqBandRecord* r = As<DspEqBandRecord>(value);
            DspState* s = r ? TargetState(model, r->scene) : nullptr;
            if (!s || !ValidChannel(r->channel)) return {};
            ChannelState& ch = s->channels[r->channel];
            if (r->band < 0 || r->band >= ch.eqSize || r->band >= kEqBands) return {};
            EqBand& band = ch.bands[r->band];
            band.freq = r->frequency;
            band.eqFactor = r->q;
            band.eqGain = r->gain;
            if (r->scene == 0) band.enable = 1;
            ValueUpdate u = Update(UpdateKind::EqBand, r->scene, r->channel);
            u.band = r->band;
            return ForScene(u);
        }
        case 7: {
            const DspDelayRecord* r = As<DspDelayRecord>(value);
            DspState* s = r ? TargetState(model, r->scene) : nullptr;
            if (!s || !ValidChannel(r->channel)) return {};
            s->channels[r->channel].delay = r->delayMs;
            return ForScene(Update(UpdateKind::Delay, r->scene, r->channel));
        }
        case 8: {
            const DspTrimRecord* r = As<DspTrimRecord>(value);
            DspState* s = r ? TargetState(model, r->scene) : nullptr;
            if (!s || !ValidChannel(r->channel)) return {};
            s->channels[r->channel].gain = r->trimDb;
            return ForScene(Update(UpdateKind::Trim, r->scene, r->channel));
        }
        case 9:
        case 10:
        case 13:
        case 18: {
            const DspChannelValueRecord* r = As<DspChannelValueRecord>(value);
            return r ? ApplyChannelValue(model, code, *r) : ValueUpdate{};
        }
        case 11: {
            const DspMixRecord* r = As<DspMixRecord>(value);
            DspState* s = r ? TargetState(model, r->scene) : nullptr;
            if (!s || !ValidChannel(r->channel) || r->source < 0 || r->source >= kInputSources) {
                return {};
            }
            s->inputs[r->source][r->channel] = r->mix;
            ValueUpdate u = Update(UpdateKind::Mix, r->scene, r->channel);
            u.source = r->source;
            u.value = r->mix;
            return ForScene(u);
        }
        case 14: {
            const DspLinkRecord* r = As<DspLinkRecord>(value);
            return r ? ApplyLink(model, *r) : ValueUpdate{};
        }
        case 15: {
            const DspLockRecord* r = As<DspLockRecord>(value);
            return r ? ApplyLock(model, *r) : ValueUpdate{};
        }
        case 36: {
            const DspInputMixTrimRecord* r = As<DspInputMixTrimRecord>(value);
            return r ? ApplyInputMixTrim(model, *r) : ValueUpdate{};
        }
        case 38:
            if (!Number(value, n)) return {};
            live.inputThreshold = n;
            return Update(UpdateKind::Logged);
        case 55:
        case 56: {
            const DspQFactRecord* r = As<DspQFactRecord>(value);
            if (!r) return {};
            const char* line =
                code == 55 ? "ch(%d): hpf_q_fact->mode = %d\n" : "ch(%d): lpf_q_fact->mode = %d\n";
            for (int ch = r->first; ch <= r->last && ch < kRecordChannelSlots; ++ch) {
                LogPrintA(line, ch, r->mode[ch]);
            }
            return Update(UpdateKind::Logged);
        }
        case 57:
        case 58:
            if (!Number(value, n)) return {};
            LogPrintA(code == 57 ? "factory preset mode = %d\n" : "setup_mode mode = %d\n", n);
            return Update(UpdateKind::Logged);
        case 59:
            if (!Number(value, n)) return {};
            live.autoEffect = n;
            return Update(UpdateKind::Logged);
        case 62: {
            const DspCompressorRecord* r = As<DspCompressorRecord>(value);
            DspState* s = r ? TargetState(model, r->scene) : nullptr;
            if (!s || !ValidChannel(r->channel)) return {};
            s->compBypass[r->channel] = r->bypass;
            s->compThreshold[r->channel] = static_cast<float>(r->threshold);
            s->compRatio[r->channel] = r->ratio;
            s->compAttack[r->channel] = r->attack;
            s->compRelease[r->channel] = r->release;
            s->compSoftKnee[r->channel] = r->softKnee;
            return ForScene(Update(UpdateKind::Logged, r->scene, r->channel));
        }
        case 63:
            if (!Number(value, n)) return {};
            live.ampPower = n == 0 ? 1 : 0;
            return Update(UpdateKind::AmpPower);
        case 70: {
            if (!Number(value, n)) return {};
            LogPrintA("DSP_DSP_STATUS on_off = %d\n", n);
            ValueUpdate u = Update(UpdateKind::DspStatus);
            u.value = n;
            return u;
        }
        default:
            return {};
    }
}

ValueUpdate ApplyMcuValue(ControllerModel& model, int code, const Payload& value,
                          bool mcuNormalMode) {
    LogPrintA("ReadMcuValueCallback 0x%02x\n", code);
    DspState& live = model.live;
    switch (code) {
        case 8: {
            const McuHandshakeRecord* r = As<McuHandshakeRecord>(value);
            if (!r) return {};
            live.model = r->model;
            live.mainVersion = r->masterVersion;
            live.slaveVersion = r->slaveVersion;
            LogPrintA(
                "UI MCU_HANDSHAKE model=%d, mainVersion=%d, slaveVersion=%d, "
                "mcu_is_normal_mode=%d\n",
                live.model, live.mainVersion, live.slaveVersion, mcuNormalMode ? 1 : 0);
            ValueUpdate u = Update(UpdateKind::Handshake);
            u.value = live.model;
            u.modelMismatch = live.model != MODEL_ID && mcuNormalMode;
            return u;
        }
        case 11: {
            const McuFlashVersionRecord* r = As<McuFlashVersionRecord>(value);
            if (!r) return {};
            for (int i = 0; i < 4; ++i) live.flashVersion[i] = r->version[i];
            return Update(UpdateKind::FlashVersion);
        }
        case 147:
            LogPrintA("MCU_PING recved in ReadMcuValueCallback\n");
            return Update(UpdateKind::Logged);
        default:
            return {};
    }
}

ValueUpdate ApplySceneValue(ControllerModel& model, int code, const Payload& value) {
    LogPrintA("ReadSenceValueCallback 0x%02x\n", code);
    if (code == 11) {
        const SceneNameRecord* r = As<SceneNameRecord>(value);
        if (!r || r->index < 0 || r->index >= kSceneSlots) return {};
        model.names[r->index] = SceneNameFromDeviceBytes(r->name, kSceneNameBytes);
        ValueUpdate u = Update(UpdateKind::SceneName);
        u.value = r->index;
        return u;
    }
    if (code == 15) {
        const SceneValidRecord* r = As<SceneValidRecord>(value);
        if (!r) return {};
        model.validScenes = r->valid;
        LogPrintA("FLASH_SCENE_VALID 0x%02x\n", r->valid);
        ValueUpdate u = Update(UpdateKind::SceneValid);
        u.value = r->valid;
        return u;
    }
    return {};
}

namespace {

// Decodes one UTF-8 sequence at bytes[i]; a malformed byte stands for itself
// (Latin-1), so no name byte is lost.
char32_t NextCodePoint(const std::uint8_t* bytes, int size, int& i) {
    const std::uint8_t b = bytes[i];
    const int extra = b >= 0xF0 && b < 0xF5   ? 3
                      : b >= 0xE0 && b < 0xF0 ? 2
                      : b >= 0xC2 && b < 0xE0 ? 1
                                              : 0;
    if (extra == 0 || i + extra >= size) {
        ++i;
        return b;
    }
    char32_t cp = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const std::uint8_t c = bytes[i + k];
        if ((c & 0xC0) != 0x80 || c == 0) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms and surrogates are not text.
    const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
    if (cp < minimum || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) {
        ++i;
        return b;
    }
    i += extra + 1;
    return cp;
}

}  // namespace

SceneName SceneNameFromDeviceBytes(const std::uint8_t* bytes, int size) {
    SceneName out{};
    if (size > kSceneNameBytes) size = kSceneNameBytes;
    const int maxUnits = kSceneNameBytes / 2;
    int units = 0;
    auto put = [&](char16_t u) {
        out[2 * units] = static_cast<std::uint8_t>(u & 0xFF);
        out[2 * units + 1] = static_cast<std::uint8_t>(u >> 8);
        ++units;
    };
    for (int i = 0; i < size && bytes[i] != 0;) {
        const char32_t cp = NextCodePoint(bytes, size, i);
        if (cp >= 0x10000) {
            if (units + 2 > maxUnits) break;
            put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            if (units + 1 > maxUnits) break;
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string SceneNameToUtf8(const SceneName& name) {
    std::wstring wide;
    for (int k = 0; k + 1 < kSceneNameBytes; k += 2) {
        char32_t u = name[k] | (name[k + 1] << 8);
        if (u == 0) break;
        if (u >= 0xD800 && u < 0xDC00 && k + 3 < kSceneNameBytes) {
            const char32_t low = name[k + 2] | (name[k + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                k += 2;
            }
        }
        wide.push_back(static_cast<wchar_t>(u));
    }
    return WideToUtf8(wide);
}

bool NeedsForcedUpdate(const DspState& live, bool mcuNormalMode) {
    if (!mcuNormalMode || live.model != MODEL_ID) return false;
    return live.mainVersion < INNER_FW.major ||
           (live.mainVersion == INNER_FW.major && live.slaveVersion < INNER_FW.minor);
}

}  // namespace kavelo

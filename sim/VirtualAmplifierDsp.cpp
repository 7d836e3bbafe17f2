// The amplifier's DSP settings: every setter changes the live settings (scene
// 0) or the edit copy of a stored scene and is acknowledged on its own
// subcommand; every query answers from the same place, scene by scene.
#include <algorithm>

#include "sim/VirtualAmplifier.h"

namespace kavelo {

namespace {
constexpr std::uint8_t kSource = 0x01, kVolume = 0x02, kSubVolume = 0x03, kMute = 0x04,
                       kFilter = 0x05, kEq = 0x06, kDelay = 0x07, kTrim = 0x08, kMuteCh = 0x09,
                       kPhase = 0x0A, kMix = 0x0B, kType = 0x0D, kLink = 0x0E, kLock = 0x0F,
                       kEqReset = 0x11, kBypass = 0x12, kIrc = 0x13, kIrcDistance = 0x14,
                       kIrcEq = 0x16, kIrcSpectrum = 0x1A, kIrcModule = 0x1E, kInputMixTrim = 0x24,
                       kSolo = 0x34, kSpeakerConfig = 0x35, kAmpMute = 0x3F, kMem = 0x42;
// A reply packet must fit one 64-byte input report with its 7 framing bytes.
constexpr int kMaxReplyPayload = static_cast<int>(kInputReportSize) - 7;
constexpr std::uint8_t kHighPass = 2, kLowPass = 1;

std::uint32_t Le32(const std::uint8_t* b) {
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
void AppendLe(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void AppendBe(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}
std::uint16_t Be16(const std::uint8_t* b) { return static_cast<std::uint16_t>(b[0] << 8 | b[1]); }

// The host writes levels as attenuations (main volume as 6 - dB, an output's
// trim as 0 - gain) and reads them back as the levels themselves, so the
// amplifier keeps the level. Results beyond a signed byte saturate.
std::uint8_t LevelFromAttenuation(int offsetDb, std::uint8_t wire) {
    const int level = offsetDb - static_cast<std::int8_t>(wire);
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(std::clamp(level, -128, 127)));
}

void AppendFilter(std::vector<std::uint8_t>& out, const AmpFilter& f) {
    out.push_back(f.type);
    AppendBe(out, f.frequency);
    out.push_back(f.slope);
}

// The channel byte each one-byte-per-channel setting lives in.
template <typename Channel>
auto* ChannelByte(Channel& ch, std::uint8_t subcmd) {
    switch (subcmd) {
        case kTrim:
            return &ch.trim;
        case kMuteCh:
            return &ch.mute;
        case kPhase:
            return &ch.phase;
        case kType:
            return &ch.type;
        case kBypass:
            return &ch.eqBypass;
        case kSolo:
            return &ch.solo;
        default:
            return static_cast<decltype(&ch.trim)>(nullptr);
    }
}

// What linking carries from one output to its partner: the crossover, the EQ
// bands and the EQ bypass (volume, delay, mute and phase stay each output's own).
void CopyLinkedSettings(const AmpChannel& from, AmpChannel& to) {
    to.highPass = from.highPass;
    to.lowPass = from.lowPass;
    to.bands = from.bands;
    to.eqBypass = from.eqBypass;
}

// Calls f for every output linked with `channel` in the scene's link pairs,
// either way round; nothing while link mode is off.
template <typename F>
void ForEachLinkPartner(const AmpSceneSettings& scene, int channel, F f) {
    if (scene.linkMode != 1) return;
    for (int i = 0; i < scene.linkPairCount && i < kAmpLinkPairs; ++i) {
        const int a = scene.linkPairs[i][0];
        const int b = scene.linkPairs[i][1];
        const int partner = a == channel ? b : b == channel ? a : -1;
        if (partner >= 0 && partner < kAmpOutputs && partner != channel) f(partner);
    }
}
}  // namespace

AmpSceneSettings* VirtualAmplifier::SceneFor(std::uint8_t scene) {
    if (scene == 0) return &mLive.settings;
    if (scene <= kAmpScenes) return &mSceneEdits[scene - 1];
    return nullptr;
}

void VirtualAmplifier::HandleDsp(const Packet& packet) {
    const std::uint8_t subcmd = packet.body[0];
    const std::uint8_t optype = packet.body[1];
    const std::uint8_t* p = packet.body.data() + 2;
    const int n = packet.length - 3;
    switch (subcmd) {
        case kIrc:
        case kIrcDistance:
        case kIrcEq:
        case kIrcSpectrum:
        case kIrcModule:
            HandleCalibration(subcmd, optype, p, n);
            return;
        default:
            break;
    }
    if (optype == OP_SET) HandleDspSet(subcmd, p, n);
    if (optype == OP_GET) HandleDspGet(subcmd, p, n);
}

void VirtualAmplifier::HandleDspSet(std::uint8_t subcmd, const std::uint8_t* p, int n) {
    // Range setters: header, then one entry per channel; entries beyond the
    // outputs or beyond the bytes that arrived are ignored.
    auto setRange = [&](int entrySize, auto store) {
        if (n < 4) return false;
        AmpSceneSettings* scene = SceneFor(p[0]);
        if (!scene) return false;
        for (int c = p[2], k = 0; c <= p[3] && c < kAmpOutputs && 4 + entrySize * (k + 1) <= n;
             ++c, ++k) {
            store(*scene, c, p + 4 + entrySize * k);
        }
        return true;
    };
    bool ok = true;
    switch (subcmd) {
        case kSource:
            if ((ok = n >= 1)) mLive.source = p[0];
            break;
        case kVolume:
            if ((ok = n >= 1)) mLive.mainVolume = LevelFromAttenuation(6, p[0]);
            break;
        case kMute:
            if ((ok = n >= 1)) mLive.mute = p[0];
            break;
        case kAmpMute:
            if ((ok = n >= 1)) mLive.ampMute = p[0];
            break;
        case kFilter: {
            AmpSceneSettings* scene = n >= 8 ? SceneFor(p[0]) : nullptr;
            ok = scene && p[2] < kAmpOutputs && (p[3] == kHighPass || p[3] == kLowPass);
            if (!ok) break;
            AmpChannel& ch = scene->channels[p[2]];
            AmpFilter& f = p[3] == kHighPass ? ch.highPass : ch.lowPass;
            f.type = p[4];
            f.frequency = Be16(p + 5);
            f.slope = p[7];
            ForEachLinkPartner(*scene, p[2], [&](int k) {
                (p[3] == kHighPass ? scene->channels[k].highPass : scene->channels[k].lowPass) = f;
            });
            break;
        }
        case kEq: {
            AmpSceneSettings* scene = n >= 10 ? SceneFor(p[0]) : nullptr;
            ok = scene && p[2] < kAmpOutputs && p[3] < kAmpBands;
            if (!ok) break;
            AmpEqBand& band = scene->channels[p[2]].bands[p[3]];
            band.frequency = Be16(p + 4);
            StoreWrittenQuality(band, p[6], p[7]);
            band.gainInteger = p[8];
            band.gainTenths = p[9];
            ForEachLinkPartner(*scene, p[2], [&](int k) { scene->channels[k].bands[p[3]] = band; });
            break;
        }
        case kDelay:
            ok = setRange(3, [](AmpSceneSettings& s, int c, const std::uint8_t* e) {
                s.channels[c].delay = {e[0], e[1], e[2]};
            });
            break;
        case kTrim:
            ok = setRange(1, [](AmpSceneSettings& s, int c, const std::uint8_t* e) {
                s.channels[c].trim = LevelFromAttenuation(0, e[0]);
            });
            break;
        case kMuteCh:
        case kPhase:
        case kType:
            ok = setRange(1, [subcmd](AmpSceneSettings& s, int c, const std::uint8_t* e) {
                *ChannelByte(s.channels[c], subcmd) = e[0];
            });
            break;
        case kBypass:
            ok = setRange(1, [](AmpSceneSettings& s, int c, const std::uint8_t* e) {
                s.channels[c].eqBypass = e[0];
                ForEachLinkPartner(s, c, [&](int k) { s.channels[k].eqBypass = e[0]; });
            });
            break;
        case kMix:
            ok = n >= 4 && p[1] < kAmpSources &&
                 setRange(1, [input = p[1]](AmpSceneSettings& s, int c, const std::uint8_t* e) {
                     s.mix[input][c] = e[0];
                 });
            break;
        case kLink: {
            AmpSceneSettings* scene = n >= 3 ? SceneFor(p[0]) : nullptr;
            ok = scene && p[2] <= kAmpLinkPairs && n >= 3 + 2 * p[2];
            if (!ok) break;
            scene->linkMode = p[1];
            scene->linkPairCount = p[2];
            scene->linkPairs = {};
            for (int i = 0; i < p[2]; ++i) {
                const std::uint8_t from = p[3 + 2 * i];
                const std::uint8_t to = p[4 + 2 * i];
                scene->linkPairs[i] = {from, to};
                // Linking copies in the pair's direction, in the order sent.
                if (p[1] == 1 && from < kAmpOutputs && to < kAmpOutputs && from != to)
                    CopyLinkedSettings(scene->channels[from], scene->channels[to]);
            }
            break;
        }
        case kLock: {
            AmpSceneSettings* scene = n >= 3 ? SceneFor(p[0]) : nullptr;
            if ((ok = scene != nullptr)) scene->lock = Be16(p + 1);
            break;
        }
        case kEqReset: {
            AmpSceneSettings* scene = n >= 3 ? SceneFor(p[0]) : nullptr;
            ok = scene && n >= 3 + p[2];
            if (!ok) break;
            const AmpChannel flat = FactorySceneSettings().channels[0];
            for (int i = 0; i < p[2]; ++i) {
                const int c = p[3 + i];
                if (c >= kAmpOutputs) continue;
                scene->channels[c].bands = flat.bands;
                ForEachLinkPartner(*scene, c,
                                   [&](int k) { scene->channels[k].bands = flat.bands; });
            }
            break;
        }
        case kInputMixTrim: {
            AmpSceneSettings* scene = n >= 5 ? SceneFor(p[0]) : nullptr;
            ok = scene && p[1] < kAmpSources && p[2] < kAmpInputRows;
            if (!ok) break;
            for (int c = p[3], k = 0; c <= p[4] && c < kAmpOutputs && 5 + k < n; ++c, ++k) {
                scene->inputMixTrim[p[1]][p[2]][c] = p[5 + k];
            }
            break;
        }
        case kMem:
            if ((ok = n >= 8)) mMemory[Le32(p)] = Le32(p + 4);
            break;
        default:
            ok = false;  // not a setting of this amplifier
            break;
    }
    Reply(CMD_DSP, subcmd, OP_ACK, {ok ? ACK_READY : ACK_NOT_READY});
}

void VirtualAmplifier::ReplyRange(
    std::uint8_t subcmd, const std::uint8_t* header, int entrySize,
    const std::function<void(int, std::vector<std::uint8_t>&)>& entry) {
    Reply(CMD_DSP, subcmd, OP_UPDATE,
          ListReply({header[0], header[1], header[2]}, header[2], header[3], kAmpOutputs, entrySize,
                    entry));
}

std::vector<std::uint8_t> VirtualAmplifier::ListReply(
    std::vector<std::uint8_t> header, int first, int requestedLast, int count, int entrySize,
    const std::function<void(int, std::vector<std::uint8_t>&)>& entry) {
    int last = requestedLast;
    if (last >= first) {
        const int fits = (kMaxReplyPayload - static_cast<int>(header.size()) - 1) / entrySize;
        last = std::min({last, count - 1, first + fits - 1});
    }
    header.push_back(static_cast<std::uint8_t>(last));
    for (int i = first; i <= last; ++i) entry(i, header);
    return header;
}

void VirtualAmplifier::HandleDspGet(std::uint8_t subcmd, const std::uint8_t* p, int n) {
    auto single = [&](std::uint8_t value) { Reply(CMD_DSP, subcmd, OP_UPDATE, {value}); };
    // A query naming no scene of this amplifier, or too short to be one, is
    // refused at once rather than left for the host to time out on.
    auto refuse = [&] { Reply(CMD_DSP, subcmd, OP_ACK, {ACK_NOT_READY}); };
    const AmpSceneSettings* scene = n >= 1 ? SceneFor(p[0]) : nullptr;
    switch (subcmd) {
        case kSource:
            return single(mLive.source);
        case kVolume:
            return single(mLive.mainVolume);
        case kSubVolume:
            return single(mLive.subVolume);
        case kMute:
            return single(mLive.mute);
        case kAmpMute:
            return single(mLive.ampMute);
        case kSpeakerConfig:
            return single(mLive.speakerConfig);
        case kFilter:
            if (!scene || n < 4) return refuse();
            return ReplyRange(subcmd, p, 8, [&](int c, std::vector<std::uint8_t>& out) {
                AppendFilter(out, scene->channels[c].highPass);
                AppendFilter(out, scene->channels[c].lowPass);
            });
        case kDelay:
            if (!scene || n < 4) return refuse();
            return ReplyRange(subcmd, p, 3, [&](int c, std::vector<std::uint8_t>& out) {
                const auto& d = scene->channels[c].delay;
                out.insert(out.end(), d.begin(), d.end());
            });
        case kTrim:
        case kMuteCh:
        case kPhase:
        case kType:
        case kBypass:
        case kSolo:
            if (!scene || n < 4) return refuse();
            return ReplyRange(subcmd, p, 1, [&](int c, std::vector<std::uint8_t>& out) {
                out.push_back(*ChannelByte(scene->channels[c], subcmd));
            });
        case kMix:
            if (!scene || n < 4 || p[1] >= kAmpSources) return refuse();
            return ReplyRange(subcmd, p, 1, [&](int c, std::vector<std::uint8_t>& out) {
                out.push_back(static_cast<std::uint8_t>(scene->mix[p[1]][c] & 0xFF));
            });
        case kEq:
            if (!scene || n < 5 || p[2] >= kAmpOutputs) return refuse();
            return Reply(CMD_DSP, subcmd, OP_UPDATE,
                         ListReply({p[0], p[1], p[2], p[3]}, p[3], p[4], kAmpBands, 6,
                                   [&](int b, std::vector<std::uint8_t>& out) {
                                       AppendEqBandBlock(out, scene->channels[p[2]].bands[b]);
                                   }));
        case kLink: {
            if (!scene) return refuse();
            // One byte per link pair: from-channel in the high nibble, to-channel
            // in the low one; 0xFF where no pair is set.
            std::vector<std::uint8_t> reply = {p[0], scene->linkMode, 0xFF, 0xFF, 0xFF, 0xFF};
            for (int i = 0; i < scene->linkPairCount && i < kAmpOutputs / 2; ++i) {
                const auto& pair = scene->linkPairs[i];
                reply[2 + i] = static_cast<std::uint8_t>((pair[0] & 0x0F) << 4 | (pair[1] & 0x0F));
            }
            return Reply(CMD_DSP, subcmd, OP_UPDATE, reply);
        }
        case kLock:
            if (!scene) return refuse();
            return Reply(CMD_DSP, subcmd, OP_UPDATE,
                         {p[0], static_cast<std::uint8_t>(scene->lock & 0xFF)});
        case kInputMixTrim:
            if (!scene || n < 5 || p[1] >= kAmpSources || p[2] >= kAmpInputRows) return refuse();
            return Reply(CMD_DSP, subcmd, OP_UPDATE,
                         ListReply({p[0], p[1], p[2], p[3]}, p[3], p[4], kAmpOutputs, 1,
                                   [&](int c, std::vector<std::uint8_t>& out) {
                                       out.push_back(scene->inputMixTrim[p[1]][p[2]][c]);
                                   }));
        case kMem: {
            if (n < 4) return refuse();
            const std::uint32_t address = Le32(p);
            const auto found = mMemory.find(address);
            std::vector<std::uint8_t> reply;
            AppendLe(reply, address);
            AppendLe(reply, found == mMemory.end() ? 0 : found->second);
            return Reply(CMD_DSP, subcmd, OP_UPDATE, reply);
        }
        default:
            return refuse();
    }
}

}  // namespace kavelo

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "control/ProfileFiles.h"

namespace kavelo::test {

// What a profile reader made of some bytes, judged by the rules every input
// must keep: a refused input leaves its target byte for byte as it was; an
// accepted one saves as a profile that loads back to the same text.
enum class ProfileReadVerdict { Refused, Accepted, RefusedButChanged, AcceptedButUnstable };

template <typename T>
using ProfileParseFn = ProfileResult (*)(const char*, std::size_t, T&);
template <typename T>
using ProfilePrintFn = std::string (*)(const T&);

// Reads `text` into `target`, which starts as `before`. The targets are plain
// data, copied and compared as bytes, so the judgement also sees a refused
// read that wrote a field the writer never prints.
template <typename T>
ProfileReadVerdict JudgeProfileRead(const char* text, std::size_t size, const T& before, T& target,
                                    ProfileParseFn<T> parse, ProfilePrintFn<T> print) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(&target, &before, sizeof(T));
    if (parse(text, size, target) != ProfileResult::Ok) {
        return std::memcmp(&target, &before, sizeof(T)) == 0
                   ? ProfileReadVerdict::Refused
                   : ProfileReadVerdict::RefusedButChanged;
    }
    const std::string saved = print(target);
    std::memcpy(&target, &before, sizeof(T));
    if (parse(saved.data(), saved.size(), target) != ProfileResult::Ok || print(target) != saved) {
        return ProfileReadVerdict::AcceptedButUnstable;
    }
    return ProfileReadVerdict::Accepted;
}

// A target holding settings of its own, none of them a profile's usual value,
// so a reader that writes what it read before refusing, or resets its target,
// changes something the judgement sees. `salt` tells states apart.
inline DspState StateWithOwnSettings(int salt) {
    DspState s;
    s.model = 87;
    s.mainVolume = 17 + salt;
    s.subVolume = -3 - salt;
    s.mainVolumeMute = 1;
    s.inputSource = 3;
    s.currChannel = (5 + salt) % kOutputChannels;
    s.linkMode = 1;
    s.lockMode = 1;
    for (int c = 0; c < kOutputChannels; ++c) {
        ChannelState& ch = s.channels[c];
        ch.gain = -1.0f - static_cast<float>(c + salt);
        ch.delay = 0.375f * static_cast<float>(c + 1);
        ch.mute = c % 2;
        ch.phase = (c + 1) % 2;
        ch.bypass = 0;
        ch.eqSize = kEqBands - 1 - c;
        ch.crossover.bpType = 1;
        ch.crossover.hp = {33 + c + salt, 3, 5, 0};
        ch.crossover.lp = {17000 - c - salt, 1, 6, 0};
        for (int b = 0; b < kEqBands; ++b)
            ch.bands[b] = EqBand{0.5f * static_cast<float>(b % 7 + 1), 1.25f, 41 + 97 * b + salt,
                                 static_cast<std::uint8_t>(b % 3 == 0 ? 0 : 1)};
        s.outputs[c] = (c * 5 + salt) % 25;
        s.linkOutputs[c] = kOutputChannels - 1 - c;
        s.showChEqualizer[c] = (c + 1) % 2;
        for (int i = 0; i < kInputSources; ++i) {
            s.inputs[i][c] = 7 * i + c + salt + 1;
            for (int r = 0; r < kInputRows; ++r) s.inputMixVolume[i][r][c] = 13 + i + r + c;
        }
    }
    return s;
}

inline void FillWithOwnSettings(WholeProfile& whole) {
    whole.live = StateWithOwnSettings(0);
    for (int k = 0; k < kSceneSlots; ++k) {
        whole.scenes[k] = StateWithOwnSettings(k + 1);
        whole.names[k] = {'O', 'w', 'n', static_cast<std::uint8_t>('0' + k)};
    }
}

inline bool Sound(ProfileReadVerdict v) {
    return v == ProfileReadVerdict::Refused || v == ProfileReadVerdict::Accepted;
}

}  // namespace kavelo::test

#pragma once

#include <cstddef>
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

inline bool Sound(ProfileReadVerdict v) {
    return v == ProfileReadVerdict::Refused || v == ProfileReadVerdict::Accepted;
}

}  // namespace kavelo::test

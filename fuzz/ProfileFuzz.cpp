#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "control/ProfileFiles.h"

// Feeds any bytes to both profile readers. A reader must never crash; a
// refused input must leave its target byte for byte as it was; an accepted
// one must save as a profile that loads back to the same settings.
namespace {

using kavelo::ProfileResult;

template <typename T>
using ParseFn = ProfileResult (*)(const char*, size_t, T&);
template <typename T>
using PrintFn = std::string (*)(const T&);

// The targets are plain data: copied and compared as bytes, so the check also
// sees a refused read that wrote a field the writer never prints.
template <typename T>
void Check(const char* text, size_t size, const T& defaults, T& target, ParseFn<T> parse,
           PrintFn<T> print) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(&target, &defaults, sizeof(T));
    if (parse(text, size, target) != ProfileResult::Ok) {
        if (std::memcmp(&target, &defaults, sizeof(T)) != 0) __builtin_trap();
        return;
    }
    const std::string saved = print(target);
    std::memcpy(&target, &defaults, sizeof(T));
    if (parse(saved.data(), saved.size(), target) != ProfileResult::Ok || print(target) != saved) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Built once: a whole profile is eleven states, too big to rebuild per input.
    static const auto kScene = std::make_unique<const kavelo::DspState>();
    static const auto kWhole = std::make_unique<const kavelo::WholeProfile>();
    static const auto scene = std::make_unique<kavelo::DspState>();
    static const auto whole = std::make_unique<kavelo::WholeProfile>();
    const char* text = reinterpret_cast<const char*>(data);
    Check(text, size, *kScene, *scene, &kavelo::ParseSceneProfile, &kavelo::SceneProfileText);
    Check(text, size, *kWhole, *whole, &kavelo::ParseWholeProfile, &kavelo::WholeProfileText);
    return 0;
}

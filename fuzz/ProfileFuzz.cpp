#include <cstddef>
#include <cstdint>
#include <memory>

#include "ProfileReadVerdict.h"
#include "control/ProfileFiles.h"

// Feeds any bytes to both profile readers. A reader must never crash; a
// refused input must leave its target byte for byte as it was; an accepted
// one must save as a profile that loads back to the same settings.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Built once: a whole profile is eleven states, too big to rebuild per input.
    static const auto kScene = std::make_unique<const kavelo::DspState>();
    static const auto kWhole = std::make_unique<const kavelo::WholeProfile>();
    static const auto scene = std::make_unique<kavelo::DspState>();
    static const auto whole = std::make_unique<kavelo::WholeProfile>();
    const char* text = reinterpret_cast<const char*>(data);
    using kavelo::test::JudgeProfileRead;
    if (!Sound(JudgeProfileRead(text, size, *kScene, *scene, &kavelo::ParseSceneProfile,
                                &kavelo::SceneProfileText)) ||
        !Sound(JudgeProfileRead(text, size, *kWhole, *whole, &kavelo::ParseWholeProfile,
                                &kavelo::WholeProfileText))) {
        __builtin_trap();
    }
    return 0;
}

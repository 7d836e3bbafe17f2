#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "ProfileReadVerdict.h"
#include "control/ProfileFiles.h"

// Feeds any bytes to both profile readers. A reader must never crash; a
// refused input must leave its target byte for byte as it was; an accepted
// one must save as a profile that loads back to the same settings. The
// targets start with settings of their own, not the defaults.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Built once: a whole profile is eleven states, too big to rebuild per input.
    // The targets hold settings of their own: a refusal must keep every one.
    static const auto kScene =
        std::make_unique<const kavelo::DspState>(kavelo::test::StateWithOwnSettings(0));
    static const auto kWhole = [] {
        auto whole = std::make_unique<kavelo::WholeProfile>();
        kavelo::test::FillWithOwnSettings(*whole);
        return std::unique_ptr<const kavelo::WholeProfile>(std::move(whole));
    }();
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

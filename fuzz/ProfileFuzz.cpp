#include <cstddef>
#include <cstdint>
#include <memory>

#include "control/ProfileFiles.h"

// Feeds any bytes to both profile readers. A reader must never crash, and a
// refused input must leave the target as it was.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const kavelo::DspState kDefaults;
    constexpr int kEqBandsForCheck = kavelo::kEqBands;
    const char* text = reinterpret_cast<const char*>(data);
    kavelo::DspState scene;
    if (kavelo::ParseSceneProfile(text, size, scene) != kavelo::ProfileResult::Ok &&
        (scene.mainVolume != kDefaults.mainVolume || scene.outputs != kDefaults.outputs ||
         scene.inputs != kDefaults.inputs || scene.channels[0].gain != 0.0f ||
         scene.channels[7].eqSize != kEqBandsForCheck)) {
        __builtin_trap();
    }
    auto whole = std::make_unique<kavelo::WholeProfile>();
    kavelo::ParseWholeProfile(text, size, *whole);
    return 0;
}

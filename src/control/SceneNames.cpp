#include "control/SceneNames.h"

#include <algorithm>

namespace kavelo {

std::u16string SceneNameUnits(const SceneName& name) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < name.size(); i += 2) {
        const auto unit = static_cast<char16_t>(name[i] | (name[i + 1] << 8));
        if (unit == 0) break;
        units.push_back(unit);
    }
    return units;
}

SceneName SceneNameFromUnits(const std::u16string& units) {
    std::size_t count = std::min<std::size_t>(units.size(), kSceneNameLength);
    // A high surrogate whose partner would fall beyond the limit goes too.
    if (count > 0 && count < units.size() && units[count - 1] >= 0xD800 &&
        units[count - 1] <= 0xDBFF)
        --count;
    SceneName name{};
    for (std::size_t i = 0; i < count; ++i) {
        name[2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
        name[2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
    }
    return name;
}

bool SceneNameEmpty(const SceneName& name) { return SceneNameUnits(name).empty(); }

int FindSameSceneName(const SceneNameTable& names, int slot, const SceneName& name) {
    const std::u16string wanted = SceneNameUnits(name);
    if (wanted.empty()) return -1;
    for (int m = 0; m < kSceneSlots; ++m) {
        if (m != slot && SceneNameUnits(names[m]) == wanted) return m;
    }
    return -1;
}

}  // namespace kavelo

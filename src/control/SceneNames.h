#pragma once

#include <array>
#include <string>

#include "control/ProfileFiles.h"

// The controller's table of the ten stored scenes' names: each entry holds up
// to seven UTF-16 code units and a terminator, as the scene window edits them.
namespace kavelo {

inline constexpr int kSceneNameLength = 7;

using SceneNameTable = std::array<SceneName, kSceneSlots>;

// The code units of an entry up to its first zero.
std::u16string SceneNameUnits(const SceneName& name);
// An entry from text: the first seven code units (a surrogate pair is kept
// whole or left out), zero-filled.
SceneName SceneNameFromUnits(const std::u16string& units);
bool SceneNameEmpty(const SceneName& name);
// The first entry other than `slot` (0 ... 9) whose name equals `name`
// exactly; -1 when none or when `name` is empty.
int FindSameSceneName(const SceneNameTable& names, int slot, const SceneName& name);

}  // namespace kavelo

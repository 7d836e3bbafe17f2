#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "control/DspRecords.h"

// The scene (.spf) and whole-configuration (.wpf) profile files: compact JSON
// as cJSON prints it. Readers are transactional (a refused file changes
// nothing); writers replace the target atomically.
namespace kavelo {

enum class ProfileResult {
    Ok,
    OpenError,      // cannot be opened or read, too large, or (scene) not JSON
    ModelMismatch,  // "model" is a number other than ours
    LoadError,      // a key missing, of the wrong type or length, or a bad value
    CreateError,    // the file cannot be written
};

// The language key the caller shows for a result ("${profile_save_ok}" for a
// successful write, "" for a successful read).
const char* ProfileMessageKey(ProfileResult result, bool writing);

using SceneName = std::array<uint8_t, kSceneNameBytes>;

struct WholeProfile {
    DspState live;
    std::array<DspState, kSceneSlots> scenes;
    std::array<SceneName, kSceneSlots> names{};
};

// Largest file a reader accepts; real profiles are a few hundred kB.
inline constexpr size_t kMaxProfileBytes = 16u * 1024u * 1024u;

std::string SceneProfileText(const DspState& state);
std::string WholeProfileText(const WholeProfile& whole);

ProfileResult WriteSceneProfile(const DspState& state, const std::string& path);
ProfileResult ReadSceneProfile(const std::string& path, DspState& state);
ProfileResult WriteWholeProfile(const WholeProfile& whole, const std::string& path);
ProfileResult ReadWholeProfile(const std::string& path, WholeProfile& whole);

// Parsing from text, used by the readers and the fuzz target.
ProfileResult ParseSceneProfile(const char* data, size_t size, DspState& state);
ProfileResult ParseWholeProfile(const char* data, size_t size, WholeProfile& whole);

}  // namespace kavelo

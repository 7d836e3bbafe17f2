#include "control/ProfileFiles.h"

#include <cJSON.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/BuildConstants.h"
#include "base/Log.h"
#include "control/AtomicFile.h"
#include "control/Base64.h"
#include "control/Conversions.h"
#include "control/TextLines.h"
#include "device/DspEncoding.h"

namespace kavelo {
namespace {

struct JsonDeleter {
    void operator()(cJSON* j) const { cJSON_Delete(j); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

// ---- writing ----

cJSON* Num(double v) { return cJSON_CreateNumber(v); }

template <typename T, size_t N>
cJSON* NumArray(const std::array<T, N>& values) {
    cJSON* a = cJSON_CreateArray();
    for (const T& v : values) cJSON_AddItemToArray(a, Num(static_cast<double>(v)));
    return a;
}

cJSON* FilterJson(const CrossoverFilter& f) {
    cJSON* o = cJSON_CreateObject();
    cJSON_AddItemToObject(o, "fs", Num(f.fs));
    cJSON_AddItemToObject(o, "type", Num(f.type));
    cJSON_AddItemToObject(o, "slope", Num(f.slope));
    cJSON_AddItemToObject(o, "bypass", Num(f.bypass));
    return o;
}

cJSON* ChannelJson(const ChannelState& ch) {
    cJSON* o = cJSON_CreateObject();
    cJSON_AddItemToObject(o, "eqSize", Num(ch.eqSize));
    cJSON_AddItemToObject(o, "gain", Num(ch.gain));
    cJSON_AddItemToObject(o, "mute", Num(ch.mute));
    cJSON_AddItemToObject(o, "delay", Num(ch.delay));
    cJSON_AddItemToObject(o, "phase", Num(ch.phase));
    cJSON_AddItemToObject(o, "bypass", Num(ch.bypass));
    cJSON* x = cJSON_CreateObject();
    cJSON_AddItemToObject(x, "bpType", Num(ch.crossover.bpType));
    cJSON_AddItemToObject(x, "hp", FilterJson(ch.crossover.hp));
    cJSON_AddItemToObject(x, "lp", FilterJson(ch.crossover.lp));
    cJSON_AddItemToObject(o, "crossover", x);
    cJSON* bands = cJSON_CreateArray();
    const int n = ch.eqSize < 0 ? 0 : (ch.eqSize > kEqBands ? kEqBands : ch.eqSize);
    for (int k = 0; k < n; ++k) {
        const EqBand& b = ch.bands[k];
        cJSON* bo = cJSON_CreateObject();
        cJSON_AddItemToObject(bo, "freq", Num(b.freq));
        cJSON_AddItemToObject(bo, "eqFactor", Num(b.eqFactor));
        cJSON_AddItemToObject(bo, "eqGain", Num(b.eqGain));
        cJSON_AddItemToObject(bo, "enable", Num(b.enable));
        cJSON_AddItemToArray(bands, bo);
    }
    cJSON_AddItemToObject(o, "eqArray", bands);
    return o;
}

void AddSceneBody(cJSON* o, const DspState& s) {
    cJSON* channels = cJSON_CreateArray();
    for (const ChannelState& ch : s.channels) cJSON_AddItemToArray(channels, ChannelJson(ch));
    cJSON_AddItemToObject(o, "channels", channels);
    cJSON* inputs = cJSON_CreateArray();
    for (const auto& row : s.inputs) cJSON_AddItemToArray(inputs, NumArray(row));
    cJSON_AddItemToObject(o, "inputs", inputs);
    cJSON* mix = cJSON_CreateArray();
    for (const auto& source : s.inputMixVolume) {
        cJSON* rows = cJSON_CreateArray();
        for (const auto& row : source) cJSON_AddItemToArray(rows, NumArray(row));
        cJSON_AddItemToArray(mix, rows);
    }
    cJSON_AddItemToObject(o, "inputMixVolume", mix);
    cJSON_AddItemToObject(o, "outputs", NumArray(s.outputs));
    cJSON_AddItemToObject(o, "linkOutputs", NumArray(s.linkOutputs));
    cJSON_AddItemToObject(o, "showChEqualizer", NumArray(s.showChEqualizer));
    cJSON_AddItemToObject(o, "currChannel", Num(s.currChannel));
    cJSON_AddItemToObject(o, "linkMode", Num(s.linkMode));
    cJSON_AddItemToObject(o, "lockMode", Num(s.lockMode));
}

void AddHeader(cJSON* o, const DspState& s) {
    cJSON_AddItemToObject(o, "model", Num(MODEL_ID));
    cJSON_AddItemToObject(o, "model_name", cJSON_CreateString(MODEL_NAME));
    cJSON_AddItemToObject(o, "mainVolume", Num(s.mainVolume));
    cJSON_AddItemToObject(o, "subVolume", Num(s.subVolume));
    cJSON_AddItemToObject(o, "mainVolumeMute", Num(s.mainVolumeMute));
}

std::string Print(cJSON* root) {
    JsonPtr owner(root);
    char* text = cJSON_PrintUnformatted(root);
    if (text == nullptr) return std::string();
    std::string out(text);
    cJSON_free(text);
    return out;
}

// ---- reading ----

// Every reader step returns false on the first thing that does not fit.
const cJSON* Key(const cJSON* o, const char* key) {
    return cJSON_IsObject(o) ? cJSON_GetObjectItemCaseSensitive(o, key) : nullptr;
}

bool GetDouble(const cJSON* o, const char* key, double& out) {
    const cJSON* item = Key(o, key);
    if (!cJSON_IsNumber(item) || !std::isfinite(item->valuedouble)) return false;
    out = item->valuedouble;
    return true;
}

bool InIntRange(double v) { return v > -2147483649.0 && v < 2147483648.0; }

bool ToInt(const cJSON* item, int32_t& out) {
    if (!cJSON_IsNumber(item) || !std::isfinite(item->valuedouble) ||
        !InIntRange(item->valuedouble)) {
        return false;
    }
    out = static_cast<int32_t>(item->valuedouble);  // truncates toward zero
    return true;
}

bool GetInt(const cJSON* o, const char* key, int32_t& out) { return ToInt(Key(o, key), out); }

bool GetFloat(const cJSON* o, const char* key, float& out) {
    double d = 0;
    if (!GetDouble(o, key, d) || std::fabs(d) > 3.4e38) return false;
    out = static_cast<float>(d);
    return true;
}

const cJSON* Array(const cJSON* item, int length) {
    return (cJSON_IsArray(item) && cJSON_GetArraySize(item) == length) ? item : nullptr;
}

template <size_t N>
bool IntArray(const cJSON* item, std::array<int32_t, N>& out) {
    if (Array(item, static_cast<int>(N)) == nullptr) return false;
    size_t i = 0;
    for (const cJSON* e = item->child; e != nullptr; e = e->next) {
        if (!ToInt(e, out[i++])) return false;
    }
    return true;
}

bool ReadFilter(const cJSON* o, CrossoverFilter& f) {
    return cJSON_IsObject(o) && GetInt(o, "fs", f.fs) && GetInt(o, "type", f.type) && f.type >= 0 &&
           f.type <= 3 && GetInt(o, "slope", f.slope) && GetInt(o, "bypass", f.bypass);
}

bool ReadChannel(const cJSON* o, ChannelState& ch) {
    int32_t gain = 0, bypass = 0;
    double delay = 0;
    if (!cJSON_IsObject(o) || !GetInt(o, "eqSize", ch.eqSize) || !GetInt(o, "gain", gain) ||
        !GetInt(o, "mute", ch.mute) || !GetDouble(o, "delay", delay) || std::fabs(delay) > 3.4e38 ||
        !GetInt(o, "phase", ch.phase) || !GetInt(o, "bypass", bypass)) {
        return false;
    }
    ch.gain = static_cast<float>(gain);
    ch.delay = QuantiseDelay(delay);
    ch.bypass = static_cast<uint8_t>(bypass);
    const cJSON* x = Key(o, "crossover");
    if (!cJSON_IsObject(x) || !GetInt(x, "bpType", ch.crossover.bpType) ||
        !ReadFilter(Key(x, "hp"), ch.crossover.hp) || !ReadFilter(Key(x, "lp"), ch.crossover.lp)) {
        return false;
    }
    if (ch.eqSize < 0 || ch.eqSize > kEqBands) return false;
    const cJSON* bands = Array(Key(o, "eqArray"), ch.eqSize);
    if (bands == nullptr) return false;
    int k = 0;
    for (const cJSON* b = bands->child; b != nullptr; b = b->next, ++k) {
        EqBand& band = ch.bands[k];
        int32_t enable = 0;
        if (!cJSON_IsObject(b) || !GetInt(b, "freq", band.freq) ||
            !GetFloat(b, "eqFactor", band.eqFactor) || !GetFloat(b, "eqGain", band.eqGain) ||
            !GetInt(b, "enable", enable)) {
            return false;
        }
        band.enable = enable != 0 ? 1 : 0;
        // The original application stored Q as it was typed; the amplifier holds tenths.
        band.eqFactor = WireQuality(band.eqFactor);
    }
    return true;
}

bool ReadSceneBody(const cJSON* o, DspState& s) {
    if (!cJSON_IsObject(o)) return false;
    const cJSON* inputs = Array(Key(o, "inputs"), kInputSources);
    if (inputs == nullptr) return false;
    int i = 0;
    for (const cJSON* row = inputs->child; row != nullptr; row = row->next) {
        if (!IntArray(row, s.inputs[i++])) return false;
    }
    const cJSON* mix = Array(Key(o, "inputMixVolume"), kInputSources);
    if (mix == nullptr) return false;
    i = 0;
    for (const cJSON* source = mix->child; source != nullptr; source = source->next, ++i) {
        if (Array(source, kInputRows) == nullptr) return false;
        int r = 0;
        for (const cJSON* row = source->child; row != nullptr; row = row->next) {
            if (!IntArray(row, s.inputMixVolume[i][r++])) return false;
        }
    }
    if (!IntArray(Key(o, "outputs"), s.outputs) ||
        !IntArray(Key(o, "linkOutputs"), s.linkOutputs) ||
        !IntArray(Key(o, "showChEqualizer"), s.showChEqualizer) ||
        !GetInt(o, "currChannel", s.currChannel) || !GetInt(o, "linkMode", s.linkMode) ||
        !GetInt(o, "lockMode", s.lockMode)) {
        return false;
    }
    // These are indexes (an output, a partner output, a role): a value outside its
    // table would point past it.
    auto within = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    if (!within(s.currChannel, 0, kOutputChannels - 1)) return false;
    for (int n = 0; n < kOutputChannels; ++n) {
        if (!within(s.outputs[n], 0, kSpeakerRoles - 1) ||
            !within(s.linkOutputs[n], -1, kOutputChannels - 1))
            return false;
    }
    const cJSON* channels = Array(Key(o, "channels"), kOutputChannels);
    if (channels == nullptr) return false;
    i = 0;
    for (const cJSON* ch = channels->child; ch != nullptr; ch = ch->next) {
        if (!ReadChannel(ch, s.channels[i++])) return false;
    }
    return true;
}

// "model" decides before anything else: missing or not a number is a load
// error, another number a model mismatch.
ProfileResult CheckModel(const cJSON* root) {
    const cJSON* model = Key(root, "model");
    if (!cJSON_IsNumber(model)) return ProfileResult::LoadError;
    if (model->valuedouble != MODEL_ID) return ProfileResult::ModelMismatch;
    return ProfileResult::Ok;
}

bool ReadHeader(const cJSON* root, DspState& s) {
    return GetInt(root, "mainVolume", s.mainVolume) && GetInt(root, "subVolume", s.subVolume) &&
           GetInt(root, "mainVolumeMute", s.mainVolumeMute);
}

JsonPtr Parse(const char* data, size_t size) {
    return JsonPtr(cJSON_ParseWithLengthOpts(data, size, nullptr, 0));
}

void LogReadResult(ProfileResult r) {
    if (r == ProfileResult::Ok) {
        LogPrintA("read profile file ok\n");
    } else if (r == ProfileResult::ModelMismatch) {
        LogPrintA("read profile file error! error1\n");
    } else if (r == ProfileResult::LoadError) {
        LogPrintA("read profile file error! error\n");
        LogPrintA("read profile file error! error1\n");
    }
}

template <typename Target, typename ParseFn>
ProfileResult ReadFile(const std::string& path, Target& target, ParseFn parse) {
    std::string bytes;
    if (!ReadFileCapped(path, kMaxProfileBytes, bytes)) {
        LogPrintA("open profile file %s failed\n", path.c_str());
        return ProfileResult::OpenError;
    }
    const ProfileResult r = parse(bytes.data(), bytes.size(), target);
    LogReadResult(r);
    return r;
}

}  // namespace

const char* ProfileMessageKey(ProfileResult result, bool writing) {
    switch (result) {
        case ProfileResult::Ok:
            return writing ? "${profile_save_ok}" : "";
        case ProfileResult::OpenError:
            return "${profile_open_error}";
        case ProfileResult::ModelMismatch:
            return "${software_not_match}";
        case ProfileResult::LoadError:
            return "${profile_load_error}";
        case ProfileResult::CreateError:
            return "${profile_create_error}";
    }
    return "${profile_load_error}";
}

std::string SceneProfileText(const DspState& state) {
    cJSON* root = cJSON_CreateObject();
    AddHeader(root, state);
    AddSceneBody(root, state);
    return Print(root);
}

std::string WholeProfileText(const WholeProfile& whole) {
    cJSON* root = cJSON_CreateObject();
    AddHeader(root, whole.live);
    cJSON* names = cJSON_CreateArray();
    for (const SceneName& n : whole.names) {
        cJSON_AddItemToArray(names, cJSON_CreateString(Base64Encode(n.data(), n.size()).c_str()));
    }
    cJSON_AddItemToObject(root, "sceneName", names);
    cJSON* current = cJSON_CreateObject();
    AddSceneBody(current, whole.live);
    cJSON_AddItemToObject(root, "currentProfile", current);
    cJSON* scenes = cJSON_CreateArray();
    for (const DspState& s : whole.scenes) {
        cJSON* body = cJSON_CreateObject();
        AddSceneBody(body, s);
        cJSON_AddItemToArray(scenes, body);
    }
    cJSON_AddItemToObject(root, "sceneArray", scenes);
    return Print(root);
}

ProfileResult WriteSceneProfile(const DspState& state, const std::string& path) {
    const std::string text = SceneProfileText(state);
    if (text.empty() || !WriteFileAtomically(path, text)) {
        LogPrintA("create profile file %s failed\n", path.c_str());
        return ProfileResult::CreateError;
    }
    return ProfileResult::Ok;
}

ProfileResult WriteWholeProfile(const WholeProfile& whole, const std::string& path) {
    const std::string text = WholeProfileText(whole);
    if (text.empty() || !WriteFileAtomically(path, text)) {
        LogPrintA("create profile file %s failed\n", path.c_str());
        return ProfileResult::CreateError;
    }
    return ProfileResult::Ok;
}

ProfileResult ParseSceneProfile(const char* data, size_t size, DspState& state) {
    JsonPtr root = Parse(data, size);
    if (!root) return ProfileResult::OpenError;
    const ProfileResult model = CheckModel(root.get());
    if (model != ProfileResult::Ok) return model;
    DspState copy = state;
    if (!ReadHeader(root.get(), copy) || !ReadSceneBody(root.get(), copy)) {
        return ProfileResult::LoadError;
    }
    state = copy;
    return ProfileResult::Ok;
}

ProfileResult ParseWholeProfile(const char* data, size_t size, WholeProfile& whole) {
    JsonPtr root = Parse(data, size);
    if (!root) return ProfileResult::LoadError;
    const ProfileResult model = CheckModel(root.get());
    if (model != ProfileResult::Ok) return model;
    auto copy = std::make_unique<WholeProfile>(whole);
    if (!ReadHeader(root.get(), copy->live)) return ProfileResult::LoadError;
    const cJSON* names = Array(Key(root.get(), "sceneName"), kSceneSlots);
    if (names == nullptr) return ProfileResult::LoadError;
    int k = 0;
    for (const cJSON* n = names->child; n != nullptr; n = n->next, ++k) {
        if (!cJSON_IsString(n) || n->valuestring == nullptr ||
            !Base64DecodeInto(n->valuestring, copy->names[k].data(), kSceneNameBytes)) {
            return ProfileResult::LoadError;
        }
    }
    if (!ReadSceneBody(Key(root.get(), "currentProfile"), copy->live)) {
        return ProfileResult::LoadError;
    }
    const cJSON* scenes = Array(Key(root.get(), "sceneArray"), kSceneSlots);
    if (scenes == nullptr) return ProfileResult::LoadError;
    k = 0;
    for (const cJSON* s = scenes->child; s != nullptr; s = s->next) {
        if (!ReadSceneBody(s, copy->scenes[k++])) return ProfileResult::LoadError;
    }
    whole = *copy;
    return ProfileResult::Ok;
}

ProfileResult ReadSceneProfile(const std::string& path, DspState& state) {
    return ReadFile(path, state, ParseSceneProfile);
}

ProfileResult ReadWholeProfile(const std::string& path, WholeProfile& whole) {
    return ReadFile(path, whole, ParseWholeProfile);
}

}  // namespace kavelo

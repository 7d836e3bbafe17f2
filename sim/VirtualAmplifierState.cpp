#include "sim/VirtualAmplifierState.h"

#include <cJSON.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>

#include "base/Platform.h"
#include "control/AtomicFile.h"
#include "control/ProfileFiles.h"

namespace kavelo {

namespace {
constexpr const char* kFormat = "kavelo-virtual-amplifier";
constexpr int kVersion = 1;

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;
using Memory = std::map<std::uint32_t, std::uint32_t>;

template <typename T>
struct IsStdArray : std::false_type {};
template <typename T, std::size_t N>
struct IsStdArray<std::array<T, N>> : std::true_type {};

template <typename T>
cJSON* ToJson(const T& value) {
    if constexpr (HasFieldList<T>::value) {
        cJSON* object = cJSON_CreateObject();
        FieldList<T>::Each([&](const char* name, auto member) {
            cJSON_AddItemToObject(object, name, ToJson(value.*member));
        });
        return object;
    } else if constexpr (std::is_same_v<T, Memory>) {
        cJSON* words = cJSON_CreateArray();
        for (const auto& [address, data] : value) {
            cJSON* pair = cJSON_CreateArray();
            cJSON_AddItemToArray(pair, cJSON_CreateNumber(address));
            cJSON_AddItemToArray(pair, cJSON_CreateNumber(data));
            cJSON_AddItemToArray(words, pair);
        }
        return words;
    } else if constexpr (IsStdArray<T>::value) {
        cJSON* array = cJSON_CreateArray();
        for (const auto& element : value) cJSON_AddItemToArray(array, ToJson(element));
        return array;
    } else {
        return cJSON_CreateNumber(static_cast<double>(value));
    }
}

// Reads a whole number within [low, high]; false when the item is anything else.
bool ReadNumber(const cJSON* item, double low, double high, double& out) {
    if (!cJSON_IsNumber(item)) return false;
    const double v = item->valuedouble;
    if (v < low || v > high || v != static_cast<double>(static_cast<long long>(v))) return false;
    out = v;
    return true;
}

// Fills `value` from `item`; on failure returns the path of the offending
// field, with `path` as its prefix.
template <typename T>
std::string FromJson(const cJSON* item, const std::string& path, T& value) {
    if constexpr (HasFieldList<T>::value) {
        if (!cJSON_IsObject(item)) return path + ": expected an object";
        std::string error;
        FieldList<T>::Each([&](const char* name, auto member) {
            if (!error.empty()) return;
            const cJSON* child = cJSON_GetObjectItemCaseSensitive(item, name);
            if (!child) {
                error = path + "." + name + ": missing";
                return;
            }
            error = FromJson(child, path + "." + name, value.*member);
        });
        return error;
    } else if constexpr (std::is_same_v<T, Memory>) {
        if (!cJSON_IsArray(item)) return path + ": expected an array";
        const cJSON* pair = nullptr;
        cJSON_ArrayForEach(pair, item) {
            double address = 0, data = 0;
            const double max = std::numeric_limits<std::uint32_t>::max();
            if (cJSON_GetArraySize(pair) != 2 ||
                !ReadNumber(cJSON_GetArrayItem(pair, 0), 0, max, address) ||
                !ReadNumber(cJSON_GetArrayItem(pair, 1), 0, max, data)) {
                return path + ": expected [address, data] pairs of 32-bit words";
            }
            value[static_cast<std::uint32_t>(address)] = static_cast<std::uint32_t>(data);
        }
        return {};
    } else if constexpr (IsStdArray<T>::value) {
        if (!cJSON_IsArray(item) || cJSON_GetArraySize(item) != static_cast<int>(value.size())) {
            return path + ": expected an array of " + std::to_string(value.size());
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            std::string error = FromJson(cJSON_GetArrayItem(item, static_cast<int>(i)),
                                         path + "[" + std::to_string(i) + "]", value[i]);
            if (!error.empty()) return error;
        }
        return {};
    } else {
        double v = 0;
        const double low = std::is_same_v<T, bool> ? 0 : std::numeric_limits<T>::lowest();
        const double high = std::is_same_v<T, bool> ? 1 : std::numeric_limits<T>::max();
        if (!ReadNumber(item, low, high, v)) {
            std::ostringstream text;
            text << path << ": expected a whole number " << low << ".." << high;
            return text.str();
        }
        value = static_cast<T>(v);
        return {};
    }
}
}  // namespace

std::string AmplifierStateText(const AmplifierSnapshot& snapshot) {
    Json root(ToJson(snapshot), cJSON_Delete);
    cJSON_AddItemToObject(root.get(), "format", cJSON_CreateString(kFormat));
    cJSON_AddItemToObject(root.get(), "version", cJSON_CreateNumber(kVersion));
    char* printed = cJSON_PrintUnformatted(root.get());
    if (!printed) return {};
    std::string text(printed);
    cJSON_free(printed);
    return text;
}

std::string ParseAmplifierState(const std::string& text, AmplifierSnapshot& snapshot) {
    Json root(cJSON_ParseWithLength(text.data(), text.size()), cJSON_Delete);
    if (!root) return "not valid JSON";
    const cJSON* format = cJSON_GetObjectItemCaseSensitive(root.get(), "format");
    if (!cJSON_IsString(format) || std::strcmp(format->valuestring, kFormat) != 0) {
        return "not a virtual amplifier state file";
    }
    const cJSON* version = cJSON_GetObjectItemCaseSensitive(root.get(), "version");
    if (!cJSON_IsNumber(version) || version->valuedouble != kVersion) {
        return "unsupported state file version";
    }
    AmplifierSnapshot loaded;
    std::string error = FromJson(root.get(), "state", loaded);
    if (!error.empty()) return error;
    snapshot = std::move(loaded);
    return {};
}

std::string LoadAmplifierState(const std::string& path, AmplifierSnapshot& snapshot) {
    std::FILE* in = OpenFile(path, "rb");
    if (!in) return "cannot open " + path + ": " + std::strerror(errno);
    std::string content;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) content.append(buf, n);
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) return "cannot read " + path;
    const std::string error = ParseAmplifierState(content, snapshot);
    return error.empty() ? error : path + ": " + error;
}

std::string SaveAmplifierState(const AmplifierSnapshot& snapshot, const std::string& path) {
    const std::string folder = ParentFolder(path);
    std::string reason;
    if (!folder.empty() && !CreateFolders(folder, reason)) {
        return "cannot create " + folder + ": " + reason;
    }
    const std::string text = AmplifierStateText(snapshot);
    if (text.empty()) return "cannot encode the amplifier state";
    if (!WriteFileAtomically(path, text)) {
        return "cannot write " + path + ": " + std::strerror(errno);
    }
    return {};
}

}  // namespace kavelo

#include "control/Base64.h"

#include <cstring>

namespace kavelo {
namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
}  // namespace

std::string Base64Encode(const uint8_t* data, size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        const uint32_t b0 = data[i];
        const uint32_t b1 = i + 1 < size ? data[i + 1] : 0;
        const uint32_t b2 = i + 2 < size ? data[i + 2] : 0;
        const uint32_t v = (b0 << 16) | (b1 << 8) | b2;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < size ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < size ? kAlphabet[v & 63] : '=';
    }
    return out;
}

bool Base64DecodeInto(const std::string& text, uint8_t* out, size_t capacity) {
    std::memset(out, 0, capacity);
    size_t written = 0;
    uint32_t acc = 0;
    int bits = 0;
    bool padding = false;
    for (char c : text) {
        if (c == '=') {
            padding = true;
            continue;
        }
        const int v = Value(c);
        if (v < 0 || padding) return false;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            if (written < capacity) out[written] = static_cast<uint8_t>((acc >> bits) & 0xFF);
            ++written;
        }
    }
    return true;
}

}  // namespace kavelo

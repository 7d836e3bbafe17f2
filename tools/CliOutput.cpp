#include "CliOutput.h"

#include <cstdio>

namespace kavelo::cli {

namespace {

// Length of the UTF-8 sequence starting with `lead`, or 0 for a byte that
// cannot start one.
std::size_t Utf8Length(std::uint8_t lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

}  // namespace

std::string DeviceNameText(const std::uint8_t* bytes, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < size && bytes[i] != 0;) {
        std::size_t n = Utf8Length(bytes[i]);
        bool whole = n > 0 && i + n <= size;
        for (std::size_t k = 1; whole && k < n; ++k) whole = (bytes[i + k] & 0xC0) == 0x80;
        if (!whole) {
            out += '?';  // not text of the amplifier's code page
            ++i;
            continue;
        }
        if (n == 1 && bytes[i] < 0x20) {
            out += '?';
        } else {
            out.append(reinterpret_cast<const char*>(bytes + i), n);
        }
        i += n;
    }
    return out;
}

std::array<std::uint8_t, kSceneNameBytes> DeviceNameBytes(const std::string& utf8) {
    std::array<std::uint8_t, kSceneNameBytes> out{};
    std::size_t used = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t n = Utf8Length(static_cast<std::uint8_t>(utf8[i]));
        if (n == 0 || i + n > utf8.size()) n = 1;
        if (used + n > out.size()) break;
        for (std::size_t k = 0; k < n; ++k) out[used++] = static_cast<std::uint8_t>(utf8[i + k]);
        i += n;
    }
    return out;
}

void PrintResponse(std::ostream& out, const ResponseCurve& curve, bool csv) {
    char line[64];
    if (csv) out << "frequency_hz,db\n";
    for (int i = 0; i < kResponsePoints; ++i) {
        std::snprintf(line, sizeof line, csv ? "%.3f,%.3f\n" : "%10.2f %9.3f\n", curve.freq[i],
                      curve.db[i]);
        out << line;
    }
}

}  // namespace kavelo::cli

#include "control/ParseNumber.h"

#include <algorithm>
#include <cmath>

#include "control/TextLines.h"

namespace kavelo {

namespace {

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

std::string_view SkipBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

// Whole units of a typed value, cut towards zero. The nudge keeps a decimal
// that binary floating point holds a hair below its value ("1,001k" is
// 1000.9999...) on its whole number.
int CutToWhole(double value) {
    const double nudged = value + (value >= 0 ? 1e-6 : -1e-6);
    return static_cast<int>(std::trunc(std::clamp(nudged, -1e9, 1e9)));
}

}  // namespace

std::uint32_t ParseNumber(const std::string& text, bool* overflow) {
    if (overflow) *overflow = false;
    int base = 10;
    std::size_t pos = 0;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        pos = 2;
    } else if (!text.empty() && text[0] == '0') {
        base = 8;
        pos = 1;
    }
    std::uint64_t value = 0;
    for (; pos < text.size() && text[pos] != '/'; ++pos) {
        const int digit = DigitValue(text[pos], base);
        if (digit < 0) break;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) {
            if (overflow) *overflow = true;
            return 0;
        }
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<double> ReadTypedNumber(std::string_view text) {
    const std::optional<double> v = ReadDecimal(SkipBlanks(text));
    if (!v || !std::isfinite(*v)) return std::nullopt;
    return v;
}

std::optional<int> ReadTypedWhole(std::string_view text) {
    const std::optional<double> v = ReadTypedNumber(text);
    if (!v) return std::nullopt;
    return CutToWhole(*v);
}

std::optional<int> ReadTypedFrequency(std::string_view text) {
    const std::string_view number = SkipBlanks(text);
    std::string_view rest;
    const std::optional<double> v = ReadDecimal(number, &rest);
    if (!v || !std::isfinite(*v)) return std::nullopt;
    const std::string_view mark = SkipBlanks(rest);
    if (mark.empty() || (mark[0] != 'K' && mark[0] != 'k')) return CutToWhole(*v);
    const bool digit = mark.size() > 1 && mark[1] >= '0' && mark[1] <= '9';
    const int hundreds = digit ? mark[1] - '0' : 0;
    const std::string_view spelled = number.substr(0, number.size() - rest.size());
    if (digit && spelled.find_first_of(".,") != std::string_view::npos) return std::nullopt;
    return CutToWhole(std::clamp(*v, -1e6, 1e6) * 1000.0 + (*v < 0 ? -hundreds : hundreds) * 100.0);
}

}  // namespace kavelo

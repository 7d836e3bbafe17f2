#include "control/ParseNumber.h"

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

}  // namespace kavelo

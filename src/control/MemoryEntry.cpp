#include "control/MemoryEntry.h"

#include "control/ParseNumber.h"

namespace kavelo {

MemoryEntry ReadMemoryEntry(const std::string& text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text[start] < '0' || text[start] > '9') return {};
    const std::string number = text.substr(start);
    bool overflow = false;
    const std::uint32_t value = ParseNumber(number, &overflow);
    if (overflow) return {MemoryEntryVerdict::TooLarge, 0};
    return {MemoryEntryVerdict::Number, value};
}

}  // namespace kavelo

#pragma once

#include <cstdint>
#include <string>

// A word typed into the memory window: the value it stands for, or why it is refused.
// Refused text sends nothing: reading or writing word 0 in place of a typo would touch
// a word the user never named.
namespace kavelo {

enum class MemoryEntryVerdict {
    Number,      // `value` holds it
    NotANumber,  // empty, or no digit where the number starts ("hello", "-1")
    TooLarge,    // beyond 32 bits
};

struct MemoryEntry {
    MemoryEntryVerdict verdict = MemoryEntryVerdict::NotANumber;
    std::uint32_t value = 0;
};

// Leading spaces are skipped; the rest is read as ParseNumber reads it (a number
// followed by other text keeps the number's leading digits).
MemoryEntry ReadMemoryEntry(const std::string& text);

}  // namespace kavelo

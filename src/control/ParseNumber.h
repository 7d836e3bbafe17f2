#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Number entry, Qt-free: the memory read/write tools (the service window and
// kavelo-cli) and the typed values of every other field.
namespace kavelo {

// "0x"/"0X" starts a hexadecimal number, another leading "0" an octal one,
// anything else is decimal. The value is that of the leading digits of the
// base (a "/" also ends them); none gives 0, as does empty text. A number
// beyond 32 bits is refused: the result is 0 and *overflow (when given) is set.
std::uint32_t ParseNumber(const std::string& text, bool* overflow = nullptr);

// A number typed into any field of the windows, one rule for all of them: the
// leading number as text files are read (an optional sign, digits with one
// decimal mark, "." or ",": "2,5" is 2.5), leading blanks skipped; what follows
// it is a unit or a slip and is ignored ("12dB" is 12). Empty when the text
// starts with no number or its number runs into a second mark ("1.000,5",
// "1.2.3"): the field keeps the value it had.
std::optional<double> ReadTypedNumber(std::string_view text);

// A typed number for a field of whole units (dB steps, volume positions):
// cut towards zero ("-3,5" is -3), limited to +-1e9.
std::optional<int> ReadTypedWhole(std::string_view text);

// A typed frequency in whole Hz. A "K" or "k" after the number (blanks between
// them allowed) marks thousands
// and the single digit after the mark counts hundreds: "2k" is 2000, "1K2" 1200,
// "3,5k" 3500; fractions of a Hz are cut ("150,5" is 150). Empty as above, and
// for a fraction followed by a hundreds digit ("1,5k2": two decimal marks).
std::optional<int> ReadTypedFrequency(std::string_view text);

}  // namespace kavelo

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Small pieces for reading the text files other programs write (filter lists,
// measurements): lines, words and numbers, independent of the C locale.
namespace kavelo {

// Lines ended by LF, CR LF or a lone CR; a leading UTF-8 byte-order mark is
// dropped. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

// Pieces of `line` between any of the `separators`; empty pieces are dropped.
std::vector<std::string_view> SplitWords(std::string_view line,
                                         std::string_view separators = " \t");

// The number at the start of `text`: an optional sign, digits with at most one
// decimal separator ("." or ","; programs running in many locales write the
// comma) and an optional exponent. Empty when no digit starts it or when both
// separators appear. `rest` receives what follows the number.
std::optional<double> ReadDecimal(std::string_view text, std::string_view* rest = nullptr);

// Reads a whole file of at most `maxBytes`; false when it cannot be opened or
// read or is larger.
bool ReadFileCapped(const std::string& path, std::size_t maxBytes, std::string& out);

}  // namespace kavelo

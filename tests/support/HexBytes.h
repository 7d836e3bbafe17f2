#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace kavelo::test {

// "00 AA 55 03" -> bytes; byte-exact fixtures read better as hex text.
inline std::vector<std::uint8_t> FromHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(text);
    std::string token;
    while (in >> token) bytes.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
    return bytes;
}

}  // namespace kavelo::test

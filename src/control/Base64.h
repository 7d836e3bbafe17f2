#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Standard Base64 with padding; the core stays free of Qt.
namespace kavelo {

std::string Base64Encode(const uint8_t* data, size_t size);

// Decodes into out[0 .. capacity), zero-filling the rest; bytes past the
// capacity are dropped. Returns false for a character outside the alphabet.
bool Base64DecodeInto(const std::string& text, uint8_t* out, size_t capacity);

}  // namespace kavelo

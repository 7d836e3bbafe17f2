#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

// Small generators of upgrade files for tests and benchmarks.
namespace kavelo {

inline std::vector<std::uint8_t> PatternBytes(std::size_t n, std::uint8_t seed = 1) {
    std::vector<std::uint8_t> bytes(n);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

struct ContainerParts {
    std::uint8_t kind = 1;
    std::uint8_t model = 87;
    std::array<std::uint8_t, 4> start{0x11, 0x22, 0x33, 0x44};
    std::vector<std::uint8_t> data;
    std::array<std::uint8_t, 4> trailer{0xDE, 0xAD, 0xBE, 0xEF};
};

// A container with a correct big-endian checksum over everything before it.
inline std::vector<std::uint8_t> MakeContainer(const ContainerParts& parts) {
    std::vector<std::uint8_t> out{parts.kind, parts.model};
    out.insert(out.end(), parts.start.begin(), parts.start.end());
    out.insert(out.end(), parts.data.begin(), parts.data.end());
    out.insert(out.end(), parts.trailer.begin(), parts.trailer.end());
    std::uint32_t sum = 0;
    for (std::uint8_t b : out) sum += b;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(sum >> shift));
    return out;
}

inline void AppendBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A combined file: two head bytes, the image count, the sizes and the containers.
inline std::vector<std::uint8_t> MakeCombined(
    std::uint8_t head1, std::uint8_t head2,
    const std::vector<std::vector<std::uint8_t>>& containers) {
    std::vector<std::uint8_t> out{head1, head2, static_cast<std::uint8_t>(containers.size())};
    for (const auto& c : containers) AppendBe32(out, static_cast<std::uint32_t>(c.size()));
    for (const auto& c : containers) out.insert(out.end(), c.begin(), c.end());
    return out;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kavelo

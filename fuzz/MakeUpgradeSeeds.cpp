// Writes the seeds of the upgrade-file fuzzer:
//   kavelo_make_upgrade_seeds <out-dir>      (fuzz/corpus/upgrade-file)
// Random bytes almost never carry a matching checksum, so without seeds the
// fuzzer stays in the size and head checks. Each seed is a file one of the
// parsers accepts or refuses at its last check, small enough that a run
// costs little.
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "UpgradeFiles.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kMcu = 1, kDsp = 2, kHead = 0x73, kModel = 87;

Bytes Container(std::uint8_t kind, Bytes data, std::uint8_t model = kModel) {
    kavelo::ContainerParts parts;
    parts.kind = kind;
    parts.model = model;
    parts.data = std::move(data);
    return kavelo::MakeContainer(parts);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <out-dir>\n", argv[0]);
        return 2;
    }
    const Bytes mcu = Container(kMcu, kavelo::PatternBytes(32, 1));
    const Bytes dsp = Container(kDsp, kavelo::PatternBytes(48, 2));
    Bytes badChecksum = Container(kDsp, kavelo::PatternBytes(20, 3));
    badChecksum.back() ^= 1;
    const std::pair<const char*, Bytes> seeds[] = {
        {"mcu", mcu},
        {"mcu-one-byte", Container(kMcu, {0})},
        {"dsp", dsp},
        {"mcu-other-model", Container(kMcu, {1, 2, 3}, kModel + 1)},
        {"dsp-bad-checksum", badChecksum},
        {"combined", kavelo::MakeCombined(kHead, kHead, {mcu, dsp})},
        {"combined-three-images",
         kavelo::MakeCombined(kHead, kHead, {mcu, dsp, Container(kDsp, Bytes(8, 0x7F))})},
        {"combined-one-mark", kavelo::MakeCombined(kHead, 0, {mcu, dsp})},
        {"combined-swapped", kavelo::MakeCombined(kHead, kHead, {dsp, mcu})},
    };
    const std::filesystem::path dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    for (const auto& [name, bytes] : seeds) {
        const std::filesystem::path file = dir / name;
        kavelo::WriteBytes(file, bytes);
        if (std::filesystem::file_size(file, error) != bytes.size()) {
            std::fprintf(stderr, "kavelo_make_upgrade_seeds: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}

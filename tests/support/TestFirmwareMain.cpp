// Writes the synthetic firmware images of test builds into a folder:
//   kavelo-test-firmware <out-dir>
// giving MCU_UPG.bin and FLASH_UPG.bin. Test builds embed them as the images
// the forced update carries; a demo build may too (see the README).
#include <cstdio>
#include <filesystem>
#include <string>

#include "TestFirmware.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <out-dir>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::filesystem::path mcu = dir / "MCU_UPG.bin";
    const std::filesystem::path flash = dir / "FLASH_UPG.bin";
    kavelo::WriteBytes(mcu, kavelo::test::TestMcuContainer());
    kavelo::WriteBytes(flash, kavelo::test::TestFlashContainer());
    for (const auto& file : {mcu, flash}) {
        if (!std::filesystem::is_regular_file(file, error) ||
            std::filesystem::file_size(file, error) == 0) {
            std::fprintf(stderr, "kavelo-test-firmware: cannot write %s\n",
                         file.u8string().c_str());
            return 1;
        }
    }
    return 0;
}

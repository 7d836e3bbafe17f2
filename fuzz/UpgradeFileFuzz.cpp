// Feeds arbitrary bytes to every upgrade-file parser: none may read outside
// the file, and a refused file must leave no image behind.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "firmware/UpgradeImage.h"

using namespace kavelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = [] {
        char name[] = "/tmp/kavelo-upg-fuzz-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return std::string(name);
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    UpgradeParseContext ctx;
    ctx.deviceOpen = true;
    using Parser = int (*)(UpgradeImages&, const UpgradeParseContext&, const std::string&);
    for (Parser parse :
         {&MCUUpgParsingFile, &MCUUpgBLParsingFile, &FlashUpgParsingFile, &ParsingUpgFWFile}) {
        UpgradeImages images;
        if (parse(images, ctx, path) != UPG_FILE_VALID &&
            (images.HasMcuImage() || images.HasDspImage()))
            std::abort();
    }
    return 0;
}

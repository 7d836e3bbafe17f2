// Feeds arbitrary bytes to every upgrade-file parser: none may read outside
// the file, and a refused file must leave no image behind.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "firmware/UpgradeImage.h"

using namespace kavelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The parsers take a path. A memory file, rewritten for every input, keeps
    // the disk out of the loop and leaves nothing behind.
    static const int fd = memfd_create("kavelo-upg-fuzz", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        std::abort();  // a fuzzer that cannot hand over its input must not look clean
    }

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

// Writes the generated layouts into a folder:
//   kavelo-layoutgen <out-dir>
// The skin keeps the output under skin/xml; a GUI test checks it is current.
#include <cstdio>
#include <fstream>
#include <string>

#include "MainLayouts.h"
#include "ToolLayouts.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "kavelo-layoutgen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <out-dir>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    using namespace kavelo::layoutgen;
    const bool ok = WriteFile(dir + "/main.ui", MainLayout()) &&
                    WriteFile(dir + "/channel_settings_6in_mixer.xml", ChannelSettingsLayout()) &&
                    WriteFile(dir + "/mixer.ui", MixerLayout()) &&
                    WriteFile(dir + "/mem_wr.ui", MemoryLayout()) &&
                    WriteFile(dir + "/auto_cal.ui", AutoCalLayout());
    return ok ? 0 : 1;
}

#include "base/Markers.h"

#include <filesystem>
#include <system_error>

namespace kavelo {

bool MarkerFileExists(const std::string& name) {
    if (name.empty()) return false;
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::current_path(ec) / name, ec);
}

}  // namespace kavelo

#include "CliProfileInput.h"

#include <algorithm>
#include <cctype>

#include "CliTypes.h"
#include "base/BuildConstants.h"

namespace kavelo::cli {

namespace {

int Refused(const std::string& path, ProfileResult result, std::ostream& err) {
    switch (result) {
        case ProfileResult::Ok:
            return kExitOk;
        case ProfileResult::OpenError:
            return Fail(err, kExitInput, path + ": cannot be read as a profile file");
        case ProfileResult::ModelMismatch:
            return Fail(err, kExitInput,
                        path + ": made for another amplifier model (this tool serves " +
                            std::to_string(MODEL_ID) + ", " + MODEL_NAME + ")");
        case ProfileResult::LoadError:
            return Fail(err, kExitInput,
                        path + ": not a valid profile (a value is missing or malformed)");
        case ProfileResult::CreateError:
            break;
    }
    return Fail(err, kExitInput, path + ": cannot be used");
}

}  // namespace

bool IsWholeProfilePath(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".wpf";
}

int LoadSceneProfile(const std::string& path, DspState& state, std::ostream& err) {
    return Refused(path, ReadSceneProfile(path, state), err);
}

int LoadWholeProfile(const std::string& path, WholeProfile& whole, std::ostream& err) {
    return Refused(path, ReadWholeProfile(path, whole), err);
}

}  // namespace kavelo::cli

#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace kavelo {

// Sets an environment variable for the scope of a test and restores what was
// there before (or its absence). An empty value is set as empty, not removed.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value) : mName(std::move(name)) {
        if (const char* old = std::getenv(mName.c_str())) mOld = old;
        Set(value);
    }
    ~ScopedEnv() { mOld ? Set(*mOld) : Unset(); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const std::string& value) {
#ifdef _WIN32
        _putenv_s(mName.c_str(), value.c_str());
#else
        setenv(mName.c_str(), value.c_str(), 1);
#endif
    }

private:
    void Unset() {
#ifdef _WIN32
        _putenv_s(mName.c_str(), "");
#else
        unsetenv(mName.c_str());
#endif
    }

    std::string mName;
    std::optional<std::string> mOld;
};

}  // namespace kavelo

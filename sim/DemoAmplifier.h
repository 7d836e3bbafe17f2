#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "sim/VirtualAmplifier.h"

// The virtual amplifier of the demo mode, the one place that builds it for the
// application and the command-line tool: USB-like report latency (1 ms), and a
// memory that survives the process, kept in a state file.
//
// When the state is saved: after every command that changed stored scenes,
// their names, the valid set or the current scene (what a user deliberately
// keeps in the amplifier), and once more, with the live settings, when the
// demo amplifier is destroyed. Live settings are not written on every change:
// a dragged slider sends many commands a second, and the real amplifier too
// keeps only its scenes across a power loss for certain.
namespace kavelo {

class DemoAmplifier {
public:
    // `statePath` empty: DefaultStatePath(). Loads the state when the file
    // exists; a missing or broken file leaves the factory settings and
    // LoadError() says why.
    explicit DemoAmplifier(std::string statePath = {});
    // Saves the whole state (live settings included).
    ~DemoAmplifier();

    DemoAmplifier(const DemoAmplifier&) = delete;
    DemoAmplifier& operator=(const DemoAmplifier&) = delete;

    VirtualAmplifier& Amplifier() { return *mAmp; }
    const std::string& StatePath() const { return mPath; }
    // Why the saved state was not used (empty when it was loaded).
    const std::string& LoadError() const { return mLoadError; }
    // The last save's error (empty when it succeeded or none was made).
    std::string LastSaveError() const;
    // Saves now; returns the error text, empty on success.
    std::string Save();

    // kavelo/demo-amplifier.json in the user's data folder: on Linux
    // $XDG_DATA_HOME, else ~/.local/share; on Windows the local application
    // data folder. Without one, in the current directory.
    static std::string DefaultStatePath();

private:
    void Store(const AmplifierSnapshot& snapshot);

    std::string mPath;
    std::string mLoadError;
    mutable std::mutex mSaveMutex;
    std::string mSaveError;
    std::unique_ptr<VirtualAmplifier> mAmp;
};

}  // namespace kavelo

#pragma once

#include <memory>

#include "CliCommands.h"
#include "CliSession.h"
#include "control/ReadBack.h"

// Reading the amplifier's settings back into a model, as the application's
// callbacks fill it, for the commands that compare or export them.
namespace kavelo::cli {

class ModelSink;

// Installs a sink that applies every reported value to a model as the link's
// main receiver for its lifetime.
class ModelReceiver {
public:
    explicit ModelReceiver(DeviceLink& link);
    ~ModelReceiver();
    ModelReceiver(const ModelReceiver&) = delete;
    ModelReceiver& operator=(const ModelReceiver&) = delete;
    ControllerModel Model();

private:
    DeviceLink& mLink;
    std::unique_ptr<ModelSink> mSink;
};

// The live state's read-back, with progress under `label`. Returns an exit
// code (2 when the amplifier stopped answering or a reply was missed).
int ReadLive(CliSession& s, const char* label);

// Every stored scene into its slot, then the live state, as the application's
// whole-configuration save does. Returns an exit code.
int ReadWhole(CliSession& s, const char* label);

// Connects (the application must run), reads the live state back and, with
// `whole`, the stored scenes and their names first, and closes the connection.
// Returns an exit code; `model` is set only on success.
int ReadAmplifierSettings(CliContext& ctx, bool whole, ControllerModel& model);

}  // namespace kavelo::cli

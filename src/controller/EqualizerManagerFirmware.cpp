// EqualizerManager: the forced firmware update (offer, carried images,
// window, read-back), the factory reset of a worker, and plug events held back
// while an update window works.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <chrono>
#include <thread>

#include "base/BuildConstants.h"
#include "base/Log.h"
#include "base/Markers.h"
#include "control/AtomicFile.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"
#include "ui/LanguageService.h"
#include "ui/Prompts.h"

namespace kavelo {

namespace {

// Room the prompt's text has, terminator included.
constexpr int kForceUpdatePromptChars = 1024;

// Failures of writing one carried image to a file.
enum CarriedImageError : int {
    IMAGE_WRITTEN = 0,
    IMAGE_NOT_FOUND = 1,
    IMAGE_NOT_LOADABLE = 2,
    IMAGE_EMPTY = 3,
    IMAGE_NOT_READABLE = 4,
    IMAGE_FILE_NOT_CREATED = 5,
    IMAGE_FILE_SHORT = 6,
};
// The flash image's codes follow the MCU image's.
constexpr int kFlashErrorOffset = 6;

// TMP when the environment names one, else the system's temporary folder.
QString ForcedUpdateFolder() {
    const QString tmp = qEnvironmentVariable("TMP");
    return tmp.isEmpty() ? QDir::tempPath() : tmp;
}

// Copies a carried image to `path`. The file is made beside its final name and
// renamed into place, so whatever was planted under that name in a shared
// folder is replaced (or the write fails), never written through.
int WriteCarriedImage(const QString& resource, const QString& path) {
    QFile source(resource);
    if (!source.exists()) return IMAGE_NOT_FOUND;
    if (!source.open(QIODevice::ReadOnly)) return IMAGE_NOT_LOADABLE;
    if (source.size() == 0) return IMAGE_EMPTY;
    const QByteArray bytes = source.readAll();
    if (bytes.size() != source.size()) return IMAGE_NOT_READABLE;
    switch (
        WriteFileAtomicallyDetailed(QFile::encodeName(path).toStdString(), bytes.toStdString())) {
        case AtomicWriteResult::Written:
            return IMAGE_WRITTEN;
        case AtomicWriteResult::WriteFailed:
            return IMAGE_FILE_SHORT;
        case AtomicWriteResult::NotCreated:
        case AtomicWriteResult::NotReplaced:
            break;
    }
    return IMAGE_FILE_NOT_CREATED;
}

}  // namespace

void EqualizerManager::StartForceUpdate() {
    if (MarkerFileExists(MARKER_NO_FORCE_UPDATE)) return;
    const DspState& live = mModel.live;
    const QString prompt =
        FormatNumbers(QStringLiteral("${update_tips}"),
                      {live.mainVersion, live.slaveVersion, INNER_FW.major, INNER_FW.minor})
            .left(kForceUpdatePromptChars - 1);
    if (ShowMessage(mWindow.data(), QStringLiteral("${tips}"), prompt) != 1) return;
    LogPrintA("Start force update!\n");

    const QDir folder(ForcedUpdateFolder());
    const QString mcuPath = folder.filePath(QStringLiteral("MCU_UPG.bin"));
    const QString dspPath = folder.filePath(QStringLiteral("FLASH_UPG.bin"));
    int code = WriteCarriedImage(mCarriedImages.mcu, mcuPath);
    if (code == IMAGE_WRITTEN) {
        code = WriteCarriedImage(mCarriedImages.flash, dspPath);
        if (code != IMAGE_WRITTEN) code += kFlashErrorOffset;
    }
    if (code != IMAGE_WRITTEN) {
        QFile::remove(mcuPath);
        QFile::remove(dspPath);
        LogPrintA("File prepare error. error code %d (folder %s)\n", code,
                  QFile::encodeName(folder.path()).constData());
        controls::ConfirmBox(mWindow.data(),
                             QStringLiteral("File prepare error. error code %1").arg(code));
        return;
    }
    if (!mHooks.showForceUpdateWindow) {
        LogPrintA("Start force update: no forced-update window in this build\n");
        return;
    }

    mForceUpdateFlag = true;
    const int result = mHooks.showForceUpdateWindow(mcuPath, dspPath);
    mForceUpdateFlag = false;
    if (result == 1) {
        StartReadBack();
        return;
    }
    // An update that ended without the factory reset, failed or was left
    // half-way keeps the queue gate closed over an amplifier whose settings the
    // model no longer knows; edits would vanish while the button says
    // "connected". Read it back, or show it as gone.
    if (mLink.IsCmdQueueEnabled()) return;  // nothing was started
    if (mLink.IsDeviceOpen()) {
        LogPrintA("Force update window closed with %d: reading the amplifier back\n", result);
        StartReadBack();
    } else {
        DisconnectDevice();
    }
}

bool EqualizerManager::FactoryResetSequence(int delayMs, const std::atomic<bool>& cancel,
                                            const std::function<void()>& done) {
    LogPrintA("Factory default thread start!\n");
    // In slices, so a window closing meanwhile is not held up.
    constexpr int kSliceMs = 20;
    for (int waited = 0; waited < delayMs && !cancel; waited += kSliceMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    bool answered = false;
    if (cancel) {
        LogPrintA("Factory default cancelled before it was sent\n");
    } else {
        answered = mLink.MCU_Factory_Reset_Ctrl();
        if (!answered) LogPrintA("MCU_Factory_Reset_Ctrl: no answer from the amplifier\n");
    }
    if (done) done();
    LogPrintA("Factory default thread end!\n");
    return answered;
}

void EqualizerManager::SetUpgradeWork(bool running) {
    DeferredPlugEvents held = mDeferredPlug;
    mDeferredPlug = DeferredPlugEvents{};
    mDeferredPlug.working = running;
    if (running) return;
    // What happened meanwhile, in order: the amplifier went away, then came back.
    if (held.removal) DevicePlugOut(held.deviceName);
    if (held.arrival) DevicePlugin();
}

bool EqualizerManager::DeferPlugEvent(bool arrival, const QString& deviceName) {
    if (!mDeferredPlug.working) return false;
    LogPrintA("%s held back until the update window's work has ended\n",
              arrival ? "DevicePlugin" : "DevicePlugOut");
    if (arrival) {
        mDeferredPlug.arrival = true;
    } else {
        mDeferredPlug.removal = true;
        mDeferredPlug.arrival = false;
        mDeferredPlug.deviceName = deviceName;
    }
    return true;
}

}  // namespace kavelo

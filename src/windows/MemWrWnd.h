#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "ui/WindowImplBase.h"

class QLabel;
class QLineEdit;

namespace kavelo {

class DeviceLink;

// Where the memory window keeps the last address and value between openings: integer
// keys "mem_addr" and "mem_data" (0 when missing).
struct MemoryKeys {
    std::function<int(const QString& key)> get;
    std::function<void(const QString& key, int value)> set;
};

// A service tool: reads and writes single 32-bit words of the DSP's memory by address.
// Replies come back as WM_READ_MEM_VALUE through the link's MemReceiver slot.
class CMemWrWnd : public WindowImplBase {
    Q_OBJECT
public:
    // `link` outlives the window.
    CMemWrWnd(QWidget* owner, DeviceLink& link, MemoryKeys keys);
    // Waits for a read still waiting for its reply (bounded by the link's reply time-out).
    ~CMemWrWnd() override;

    QString GetSkinFile() const override { return QStringLiteral("XML_MEM_WR"); }
    QString GetWindowClassName() const override { return QStringLiteral("MemWrWnd"); }

    // Show the value as "0x%08x" in its edit and remember it at once.
    void SetAddress(std::uint32_t address);
    void SetData(std::uint32_t data);

protected:
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                             const QString& text) override;

private:
    // The edit's number; false (and the refusal shown) when it does not fit 32 bits.
    bool ReadNumber(QLineEdit* edit, std::uint32_t* value);
    void OnRead();
    void OnWrite();
    void JoinReader();

    DeviceLink& mLink;
    MemoryKeys mKeys;
    QLineEdit* mAddress = nullptr;
    QLineEdit* mData = nullptr;
    QLabel* mStatus = nullptr;
    // A read waits for its reply off the UI thread, one at a time.
    std::thread mReader;
    std::shared_ptr<std::atomic<bool>> mReading = std::make_shared<std::atomic<bool>>(false);
};

// Opens the memory window modally over `owner`; returns its result (0).
int ShowMemoryWindow(QWidget* owner, DeviceLink& link, MemoryKeys keys);

}  // namespace kavelo

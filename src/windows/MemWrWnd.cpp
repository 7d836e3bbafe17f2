#include "windows/MemWrWnd.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <cstdio>

#include "base/Log.h"
#include "control/MemoryEntry.h"
#include "device/DeviceLink.h"
#include "ui/ScreenDpi.h"
#include "ui/WindowMessage.h"

namespace kavelo {

namespace {

// The link may post a late reply at any time from its reading thread, so the sink in
// its slot lives as long as the process; each memory window borrows it while open.
QtMessageSink& MemorySink() {
    static QtMessageSink sink(nullptr);
    return sink;
}

QString Hex32(std::uint32_t value) { return QString::asprintf("0x%08x", value); }

// The configuration keeps the 32-bit pattern as a signed decimal.
int AsStored(std::uint32_t value) { return static_cast<std::int32_t>(value); }

}  // namespace

CMemWrWnd::CMemWrWnd(QWidget* owner, DeviceLink& link, MemoryKeys keys)
    : WindowImplBase(owner), mLink(link), mKeys(std::move(keys)) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

CMemWrWnd::~CMemWrWnd() {
    MemorySink().Reset();
    JoinReader();
}

void CMemWrWnd::JoinReader() {
    if (mReader.joinable()) mReader.join();
}

void CMemWrWnd::InitWindow() {
    ApplyDpi(StartupDpiFromScreens());
    mAddress = FindControl<QLineEdit>(QStringLiteral("addr_edit"));
    mData = FindControl<QLineEdit>(QStringLiteral("data_edit"));
    mStatus = FindControl<QLabel>(QStringLiteral("mem_status"));
    SetAddress(static_cast<std::uint32_t>(mKeys.get ? mKeys.get(QStringLiteral("mem_addr")) : 0));
    SetData(static_cast<std::uint32_t>(mKeys.get ? mKeys.get(QStringLiteral("mem_data")) : 0));
    MemorySink().SetReceiver(this);
    mLink.MemReceiver = &MemorySink();
}

void CMemWrWnd::SetAddress(std::uint32_t address) {
    SetControlText(mAddress, Hex32(address));
    if (mKeys.set) mKeys.set(QStringLiteral("mem_addr"), AsStored(address));
}

void CMemWrWnd::SetData(std::uint32_t data) {
    SetControlText(mData, Hex32(data));
    if (mKeys.set) mKeys.set(QStringLiteral("mem_data"), AsStored(data));
}

bool CMemWrWnd::ReadNumber(QLineEdit* edit, std::uint32_t* value) {
    if (!edit) return false;
    const QString text = edit->text();
    const MemoryEntry entry = ReadMemoryEntry(text.toStdString());
    *value = entry.value;
    if (entry.verdict == MemoryEntryVerdict::Number) return true;
    // Cutting the number down or reading a typo as 0 would touch another word than the
    // one the user meant.
    const bool tooLarge = entry.verdict == MemoryEntryVerdict::TooLarge;
    LogPrintA(tooLarge ? "%s: %s does not fit in 32 bits, nothing sent\n"
                       : "%s: \"%s\" is not a number, nothing sent\n",
              edit->objectName().toUtf8().constData(), text.toUtf8().constData());
    SetControlText(mStatus, tooLarge ? QStringLiteral("${mem_too_large}")
                                     : QStringLiteral("${mem_not_number}"));
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    return false;
}

void CMemWrWnd::OnRead() {
    std::uint32_t address = 0;
    if (!ReadNumber(mAddress, &address)) return;
    SetControlText(mStatus, QString());
    SetAddress(address);
    LogPrintA("read_btn read dsp mem, addr(0x%08x)\n", address);
    if (*mReading) {
        LogPrintA("read_btn: the previous read still waits for its reply\n");
        return;
    }
    JoinReader();
    *mReading = true;
    // The reply is decoded while it is read and comes back as a message; a silent
    // amplifier holds this thread, not the window.
    mReader = std::thread([&link = mLink, reading = mReading, address] {
        if (!link.Get_MemData(address)) LogPrintA("read_btn: no reply for addr(0x%08x)\n", address);
        *reading = false;
    });
}

void CMemWrWnd::OnWrite() {
    std::uint32_t address = 0;
    std::uint32_t value = 0;
    if (!ReadNumber(mAddress, &address) || !ReadNumber(mData, &value)) return;
    SetControlText(mStatus, QString());
    SetAddress(address);
    SetData(value);
    LogPrintA("write_btn write dsp mem, addr(0x%08x), data(0x%08x)\n", address, value);
    if (!mLink.Set_MemData(address, value, false))
        LogPrintA("write_btn: not queued, the amplifier is not connected\n");
}

void CMemWrWnd::Notify(TNotifyUI& msg) {
    LogPrintA("Notify %s\n", msg.sType.toUtf8().constData());
    if (msg.sType == QLatin1String("click") && msg.pSender) {
        const QString name = msg.pSender->objectName();
        if (name == QLatin1String("read_btn")) OnRead();
        if (name == QLatin1String("write_btn")) OnWrite();
    }
    WindowImplBase::Notify(msg);
}

bool CMemWrWnd::HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                                    const QString& text) {
    if (id != WM_READ_MEM_VALUE)
        return WindowImplBase::HandleCustomMessage(id, wParam, lParam, text);
    const auto* record = std::get_if<DspMemRecord>(&lParam);
    if (!record) {
        LogPrintA("mem data without its record, ignored\n");
        return true;
    }
    LogPrintA("mem data = addr(0x%08x), data(0x%08x)\n", record->address, record->data);
    SetAddress(record->address);
    SetData(record->data);
    return true;
}

int ShowMemoryWindow(QWidget* owner, DeviceLink& link, MemoryKeys keys) {
    return RunModalWindow(new CMemWrWnd(owner, link, std::move(keys)), QStringLiteral("memwrwnd"));
}

}  // namespace kavelo

#include "TracePort.h"

#include <algorithm>
#include <string>

namespace kavelo::cli {

std::string HexLine(const std::uint8_t* data, std::size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i) out += ' ';
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0F];
    }
    return out;
}

class TracePort::Device : public HidDevice {
public:
    Device(std::unique_ptr<HidDevice> inner, std::ostream* trace,
           std::shared_ptr<std::mutex> traceMutex, std::shared_ptr<std::atomic<int>> missed,
           int maxWaitMs)
        : mInner(std::move(inner)),
          mTrace(trace),
          mTraceMutex(std::move(traceMutex)),
          mMissed(std::move(missed)),
          mMaxWaitMs(maxWaitMs) {}

    int GetManufacturerString(wchar_t* buffer, std::size_t maxChars) override {
        return mInner->GetManufacturerString(buffer, maxChars);
    }
    int GetProductString(wchar_t* buffer, std::size_t maxChars) override {
        return mInner->GetProductString(buffer, maxChars);
    }
    int GetSerialNumberString(wchar_t* buffer, std::size_t maxChars) override {
        return mInner->GetSerialNumberString(buffer, maxChars);
    }
    int GetIndexedString(int index, wchar_t* buffer, std::size_t maxChars) override {
        return mInner->GetIndexedString(index, buffer, maxChars);
    }
    int SetNonblocking(int nonblock) override { return mInner->SetNonblocking(nonblock); }

    int Write(const std::uint8_t* data, std::size_t length) override {
        Print("> ", data, length);
        const int n = mInner->Write(data, length);
        // The link reads nothing after a failed write: its reply is missed here.
        if (n < 0) ++*mMissed;
        return n;
    }

    int ReadTimeout(std::uint8_t* data, std::size_t length, int milliseconds) override {
        if (mMaxWaitMs > 0 && (milliseconds < 0 || milliseconds > mMaxWaitMs)) {
            milliseconds = mMaxWaitMs;
        }
        const int n = mInner->ReadTimeout(data, length, milliseconds);
        if (n > 0) Print("< ", data, static_cast<std::size_t>(n));
        if (n == 0) ++*mMissed;
        return n;
    }

    void SetReadCancel(const LinkWake* cancel) override { mInner->SetReadCancel(cancel); }
    std::wstring Error() override { return mInner->Error(); }

private:
    void Print(const char* prefix, const std::uint8_t* data, std::size_t length) {
        if (!mTrace) return;
        const std::string line = prefix + HexLine(data, length) + "\n";
        std::lock_guard<std::mutex> lock(*mTraceMutex);
        *mTrace << line << std::flush;
    }

    std::unique_ptr<HidDevice> mInner;
    std::ostream* mTrace;
    std::shared_ptr<std::mutex> mTraceMutex;
    std::shared_ptr<std::atomic<int>> mMissed;
    int mMaxWaitMs;
};

TracePort::TracePort(HidPort& inner, std::ostream* trace, int maxWaitMs)
    : mInner(inner), mTrace(trace), mMaxWaitMs(maxWaitMs) {}

std::unique_ptr<HidDevice> TracePort::Open(std::uint16_t vendorId, std::uint16_t productId) {
    std::unique_ptr<HidDevice> device = mInner.Open(vendorId, productId);
    if (!device) return nullptr;
    return std::make_unique<Device>(std::move(device), mTrace, mTraceMutex, mMissed, mMaxWaitMs);
}

}  // namespace kavelo::cli

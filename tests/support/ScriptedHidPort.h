#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/HidPort.h"
#include "device/LinkWake.h"

namespace kavelo::test {

// A HID port whose every result is scripted and whose calls are recorded as
// events ("init", "open", "write:<subcmd>", "read-begin", "read-failed",
// "read-end", "close").
class ScriptedHidPort : public HidPort {
public:
    struct Script {
        int initResult = 0;
        bool present = true;
        // Identification strings that fail, as a bit set: 1 manufacturer,
        // 2 product, 4 serial number, 8 indexed string 1.
        unsigned failingStrings = 0;
        bool writeFails = false;
        // While set, reads wait until Release(), their time-out or the
        // cancel the link handed over being raised.
        bool holdReads = false;
        // Reads that fail at once, as on a vanished device, before the others
        // run; negative: every read fails.
        int failingReads = 0;
        // What a read that does not fail delivers; empty: a time-out.
        std::vector<std::uint8_t> report;
        // Runs after every write, on the writing thread.
        std::function<void()> onWrite;
    };

    Script script;

    int Init() override {
        Record("init");
        return script.initResult;
    }
    std::unique_ptr<HidDevice> Open(std::uint16_t vendorId, std::uint16_t productId) override;

    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mEvents;
    }
    int CountEvents(const std::string& prefix) const {
        std::lock_guard<std::mutex> lock(mMutex);
        int n = 0;
        for (const std::string& e : mEvents) n += e.rfind(prefix, 0) == 0;
        return n;
    }
    std::vector<std::vector<std::uint8_t>> Writes() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mWrites;
    }
    std::uint16_t openedVendor = 0, openedProduct = 0;

    // Lets every held read return (as a time-out).
    void Release() {
        std::lock_guard<std::mutex> lock(mMutex);
        script.holdReads = false;
        mChanged.notify_all();
    }
    // Waits until at least n reads have begun.
    bool WaitForReads(int n, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mMutex);
        return mChanged.wait_for(lock, timeout, [&] { return mReadsBegun >= n; });
    }
    // Waits until at least n reads have failed.
    bool WaitForFailedReads(int n, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mMutex);
        return mChanged.wait_for(lock, timeout, [&] { return mReadsFailed >= n; });
    }

    void Record(const std::string& event) {
        std::lock_guard<std::mutex> lock(mMutex);
        mEvents.push_back(event);
    }

private:
    friend class ScriptedDevice;
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    std::vector<std::string> mEvents;
    std::vector<std::vector<std::uint8_t>> mWrites;
    int mReadsBegun = 0;
    int mReadsFailed = 0;
    const LinkWake* mCancel = nullptr;

public:
    int DoWrite(const std::uint8_t* data, std::size_t length) {
        std::function<void()> hook;
        int result = -1;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mEvents.push_back("write:" + std::to_string(length > 5 ? data[5] : -1));
            hook = script.onWrite;
            if (!script.writeFails) {
                mWrites.emplace_back(data, data + length);
                result = static_cast<int>(length);
            }
        }
        if (hook) hook();
        return result;
    }
    int DoRead(std::uint8_t* data, std::size_t length, int milliseconds) {
        std::unique_lock<std::mutex> lock(mMutex);
        mEvents.push_back("read-begin");
        ++mReadsBegun;
        mChanged.notify_all();
        if (script.failingReads != 0) {
            if (script.failingReads > 0) --script.failingReads;
            mEvents.push_back("read-failed");
            ++mReadsFailed;
            mChanged.notify_all();
            return -1;
        }
        // The cancel has no wake-up of ours: look at it in short slices, as
        // the real port does.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (script.holdReads && !(mCancel && mCancel->IsRaised()) &&
               std::chrono::steady_clock::now() < deadline) {
            mChanged.wait_for(lock, std::chrono::milliseconds(5));
        }
        if (script.holdReads && mCancel && mCancel->IsRaised()) {
            mEvents.push_back("read-cancelled");
            return 0;
        }
        mEvents.push_back("read-end");
        const std::size_t n = std::min(length, script.report.size());
        if (n > 0) std::memcpy(data, script.report.data(), n);  // an empty report has no data()
        return static_cast<int>(n);
    }
};

class ScriptedDevice : public HidDevice {
public:
    explicit ScriptedDevice(ScriptedHidPort& port) : mPort(port) {}
    ~ScriptedDevice() override { mPort.Record("close"); }

    int GetManufacturerString(wchar_t* b, std::size_t n) override { return Str(1, L"M", b, n); }
    int GetProductString(wchar_t* b, std::size_t n) override { return Str(2, L"P", b, n); }
    int GetSerialNumberString(wchar_t* b, std::size_t n) override { return Str(4, L"S", b, n); }
    int GetIndexedString(int, wchar_t* b, std::size_t n) override { return Str(8, L"I", b, n); }
    int SetNonblocking(int nonblock) override {
        mPort.Record("nonblocking:" + std::to_string(nonblock));
        return 0;
    }
    int Write(const std::uint8_t* data, std::size_t length) override {
        return mPort.DoWrite(data, length);
    }
    int ReadTimeout(std::uint8_t* data, std::size_t length, int milliseconds) override {
        return mPort.DoRead(data, length, milliseconds);
    }
    void SetReadCancel(const LinkWake* cancel) override {
        std::lock_guard<std::mutex> lock(mPort.mMutex);
        mPort.mCancel = cancel;
    }
    std::wstring Error() override { return L"scripted failure"; }

private:
    int Str(unsigned bit, const wchar_t* text, wchar_t* buffer, std::size_t n) {
        if (mPort.script.failingStrings & bit) return -1;
        std::wcsncpy(buffer, text, n);
        return 0;
    }
    ScriptedHidPort& mPort;
};

inline std::unique_ptr<HidDevice> ScriptedHidPort::Open(std::uint16_t vendorId,
                                                        std::uint16_t productId) {
    Record("open");
    openedVendor = vendorId;
    openedProduct = productId;
    if (!script.present) return nullptr;
    return std::make_unique<ScriptedDevice>(*this);
}

}  // namespace kavelo::test

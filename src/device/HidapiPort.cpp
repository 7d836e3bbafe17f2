#include <hidapi.h>

#include "device/HidPort.h"
#include "device/LinkClock.h"
#include "device/SlicedRead.h"

namespace kavelo {

namespace {

class HidapiDevice : public HidDevice {
public:
    explicit HidapiDevice(hid_device* handle) : mHandle(handle) {}
    ~HidapiDevice() override { hid_close(mHandle); }

    int GetManufacturerString(wchar_t* buffer, std::size_t maxChars) override {
        return hid_get_manufacturer_string(mHandle, buffer, maxChars);
    }
    int GetProductString(wchar_t* buffer, std::size_t maxChars) override {
        return hid_get_product_string(mHandle, buffer, maxChars);
    }
    int GetSerialNumberString(wchar_t* buffer, std::size_t maxChars) override {
        return hid_get_serial_number_string(mHandle, buffer, maxChars);
    }
    int GetIndexedString(int index, wchar_t* buffer, std::size_t maxChars) override {
        return hid_get_indexed_string(mHandle, index, buffer, maxChars);
    }
    int SetNonblocking(int nonblock) override { return hid_set_nonblocking(mHandle, nonblock); }
    int Write(const std::uint8_t* data, std::size_t length) override {
        return hid_write(mHandle, data, length);
    }
    int ReadTimeout(std::uint8_t* data, std::size_t length, int milliseconds) override {
        if (!mCancel) return hid_read_timeout(mHandle, data, length, milliseconds);
        // hid_read_timeout cannot be interrupted: wait in slices so that a
        // close is not held up by a silent amplifier.
        return ReadInSlices(
            [&](int slice) { return hid_read_timeout(mHandle, data, length, slice); },
            milliseconds, *mCancel, [] { return DefaultLinkClock().NowMs(); });
    }
    void SetReadCancel(const LinkWake* cancel) override { mCancel = cancel; }
    std::wstring Error() override {
        const wchar_t* text = hid_error(mHandle);
        return text ? std::wstring(text) : std::wstring();
    }

private:
    hid_device* mHandle;
    const LinkWake* mCancel = nullptr;
};

}  // namespace

int HidapiPort::Init() { return hid_init(); }

std::unique_ptr<HidDevice> HidapiPort::Open(std::uint16_t vendorId, std::uint16_t productId) {
    hid_device* handle = hid_open(vendorId, productId, nullptr);
    if (!handle) return nullptr;
    return std::make_unique<HidapiDevice>(handle);
}

}  // namespace kavelo

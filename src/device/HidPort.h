#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The seam between the link and the HID library. HidapiPort talks to the real
// amplifier through hidapi; the virtual amplifier is a second implementation.
namespace kavelo {

class LinkWake;

// One open HID interface. Destroying it closes the handle. Results follow
// hidapi: a negative value is a failure.
class HidDevice {
public:
    virtual ~HidDevice() = default;
    // Each fills `buffer` (maxChars wide characters, terminated) and returns 0,
    // or -1 on failure.
    virtual int GetManufacturerString(wchar_t* buffer, std::size_t maxChars) = 0;
    virtual int GetProductString(wchar_t* buffer, std::size_t maxChars) = 0;
    virtual int GetSerialNumberString(wchar_t* buffer, std::size_t maxChars) = 0;
    virtual int GetIndexedString(int index, wchar_t* buffer, std::size_t maxChars) = 0;
    virtual int SetNonblocking(int nonblock) = 0;
    // Returns the number of bytes written, or -1.
    virtual int Write(const std::uint8_t* data, std::size_t length) = 0;
    // Returns the number of bytes read, 0 on time-out, or -1 on error.
    virtual int ReadTimeout(std::uint8_t* data, std::size_t length, int milliseconds) = 0;
    // A read that waits ends early, as a time-out, once `cancel` is raised, so
    // a close never waits out a silent amplifier. `cancel` outlives the
    // device; a device that cannot be interrupted ignores it.
    virtual void SetReadCancel(const LinkWake* cancel) { (void)cancel; }
    // Text of the last error, for the log.
    virtual std::wstring Error() = 0;
};

class HidPort {
public:
    virtual ~HidPort() = default;
    // 0 on success, otherwise the library's error code.
    virtual int Init() = 0;
    // The first interface with this vendor and product id, or null when none.
    virtual std::unique_ptr<HidDevice> Open(std::uint16_t vendorId, std::uint16_t productId) = 0;
};

// The hidapi back end. Makes no hidapi call beyond the ones the link needs.
class HidapiPort : public HidPort {
public:
    int Init() override;
    std::unique_ptr<HidDevice> Open(std::uint16_t vendorId, std::uint16_t productId) override;
};

}  // namespace kavelo

// Feeds arbitrary replies to the device link and applies every message it
// posts to a controller model, as the application does. Nothing may read
// outside a report or a record, and whatever an amplifier reports must leave
// a model that saves as a profile which loads again.
//
// The input is a list of packets, each: flags, class, subcommand, optype,
// length, payload. Most are framed with a good checksum, so the fuzzer
// reaches the decoders instead of the framing alone; flag bit 0 sends the
// bytes unframed instead. The stream is delivered in 64-byte reports.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "control/ProfileFiles.h"
#include "control/ReadBack.h"
#include "device/DeviceLink.h"
#include "device/PacketCodec.h"

using namespace kavelo;

namespace {

std::vector<std::uint8_t> Stream(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i + 5 <= size) {
        const std::uint8_t flags = data[i];
        const std::uint8_t cmd = data[i + 1] % 4;  // the three classes and one unknown
        const std::uint8_t subcmd = data[i + 2], optype = data[i + 3];
        const std::size_t len = std::min<std::size_t>(data[i + 4], size - i - 5);
        const std::uint8_t* payload = data + i + 5;
        i += 5 + len;
        if (flags & 1) {
            out.insert(out.end(), payload, payload + len);
            continue;
        }
        std::uint8_t framed[kInputReportSize * 2];
        const std::size_t n = FramePacket(cmd, subcmd, optype, payload,
                                          std::min<std::size_t>(len, 58), framed, sizeof framed);
        out.insert(out.end(), framed, framed + n);
    }
    return out;
}

// Serves a byte stream as 64-byte reports.
class ReplayPort : public HidPort {
public:
    explicit ReplayPort(std::vector<std::uint8_t> stream)
        : mStream(std::move(stream)), mData(mStream.data()), mSize(mStream.size()) {}
    int Init() override { return 0; }
    std::unique_ptr<HidDevice> Open(std::uint16_t, std::uint16_t) override {
        return std::make_unique<Device>(*this);
    }
    bool Exhausted() const { return mPos >= mSize; }

private:
    class Device : public HidDevice {
    public:
        explicit Device(ReplayPort& port) : mPort(port) {}
        int GetManufacturerString(wchar_t* b, std::size_t n) override { return Text(b, n); }
        int GetProductString(wchar_t* b, std::size_t n) override { return Text(b, n); }
        int GetSerialNumberString(wchar_t* b, std::size_t n) override { return Text(b, n); }
        int GetIndexedString(int, wchar_t* b, std::size_t n) override { return Text(b, n); }
        int SetNonblocking(int) override { return 0; }
        int Write(const std::uint8_t*, std::size_t length) override {
            return static_cast<int>(length);
        }
        int ReadTimeout(std::uint8_t* data, std::size_t length, int) override {
            ReplayPort& p = mPort;
            if (p.Exhausted()) return 0;
            const std::size_t report = std::min<std::size_t>(length, kInputReportSize);
            const std::size_t n = std::min(report, p.mSize - p.mPos);
            std::memset(data, 0, report);
            std::memcpy(data, p.mData + p.mPos, n);
            p.mPos += n;
            return static_cast<int>(report);
        }
        std::wstring Error() override { return L""; }

    private:
        static int Text(wchar_t* b, std::size_t n) {
            if (n) b[0] = L'\0';
            return 0;
        }
        ReplayPort& mPort;
    };

    std::vector<std::uint8_t> mStream;
    const std::uint8_t* mData;
    std::size_t mSize;
    std::size_t mPos = 0;
};

class ModelSink : public MessageSink {
public:
    void Post(DeviceMessage m) override {
        const int code = static_cast<int>(m.wParam);
        switch (m.id) {
            case WM_READ_DSP_VALUE:
                ApplyDspValue(model, code, m.lParam);
                break;
            case WM_READ_MCU_VALUE:
                ApplyMcuValue(model, code, m.lParam, true);
                break;
            case WM_READ_SCENE_VALUE:
                ApplySceneValue(model, code, m.lParam);
                break;
            default:
                break;
        }
    }
    ControllerModel model;
};

template <typename T>
std::string_view Bytes(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return std::string_view(reinterpret_cast<const char*>(&value), sizeof(T));
}

// What is printed must be read back without complaint.
template <typename T>
void CheckSavesAndLoads(const T& saved, std::string (*print)(const T&),
                        ProfileResult (*parse)(const char*, std::size_t, T&)) {
    const std::string text = print(saved);
    auto again = std::make_unique<T>();
    if (parse(text.data(), text.size(), *again) != ProfileResult::Ok) std::abort();
}

// Most mutations that reach the model set the same values again. The check
// depends on the bytes alone, so a state already checked (by its hash) is
// skipped; a first occurrence, and so any reproduction, is always checked.
template <typename T>
void CheckOnce(std::unordered_set<std::size_t>& checked, const T& saved,
               std::string (*print)(const T&),
               ProfileResult (*parse)(const char*, std::size_t, T&)) {
    constexpr std::size_t kMaxRemembered = std::size_t{1} << 20;
    if (checked.size() >= kMaxRemembered) checked.clear();
    if (!checked.insert(std::hash<std::string_view>()(Bytes(saved))).second) return;
    CheckSavesAndLoads(saved, print, parse);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The model is eleven states: built once, and reset by copying the bytes
    // of a pristine one, whose own save and load is checked at start-up.
    static const auto kFresh = [] {
        auto fresh = std::make_unique<const ControllerModel>();
        CheckSavesAndLoads<DspState>(fresh->live, &SceneProfileText, &ParseSceneProfile);
        CheckSavesAndLoads<WholeProfile>(*fresh, &WholeProfileText, &ParseWholeProfile);
        return fresh;
    }();
    static const auto sink = std::make_unique<ModelSink>();
    static_assert(std::is_trivially_copyable_v<ControllerModel>);
    std::memcpy(&sink->model, kFresh.get(), sizeof(ControllerModel));

    ReplayPort port(Stream(data, size));
    {
        DeviceLink link(port);
        link.MainReceiver = sink.get();
        link.SceneReceiver = sink.get();
        link.IrcReceiver = sink.get();
        link.MemReceiver = sink.get();
        link.OpenHIDDevice();
        while (!port.Exhausted()) link.ReadHIDData(link.ReceiveBuffer(), 0);
        link.CloseHIDDevice(false);
    }
    // A model equal to the pristine one saves and loads as it does; only a
    // changed part is worth printing again. The whole profile holds the live
    // state as well, so it is told apart by all of its bytes.
    static std::unordered_set<std::size_t> checkedLive, checkedWhole;
    const ControllerModel& model = sink->model;
    if (Bytes(model.live) != Bytes(kFresh->live)) {
        CheckOnce<DspState>(checkedLive, model.live, &SceneProfileText, &ParseSceneProfile);
    }
    if (Bytes(model.scenes) != Bytes(kFresh->scenes) ||
        Bytes(model.names) != Bytes(kFresh->names)) {
        CheckOnce<WholeProfile>(checkedWhole, model, &WholeProfileText, &ParseWholeProfile);
    }
    return 0;
}

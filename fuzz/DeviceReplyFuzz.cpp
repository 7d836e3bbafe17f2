// Feeds arbitrary replies to the device link and applies every message it
// posts to a controller model, as the application does. Nothing may read
// outside a report or a record, and whatever an amplifier reports must leave
// a model that saves as a profile which loads again and saves the same.
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
#include <vector>

#include "control/Base64.h"
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
    // Replaces what is left to serve.
    void Serve(std::vector<std::uint8_t> stream) {
        mStream = std::move(stream);
        mPos = 0;
    }
    int Init() override { return 0; }
    std::unique_ptr<HidDevice> Open(std::uint16_t, std::uint16_t) override {
        return std::make_unique<Device>(*this);
    }
    bool Exhausted() const { return mPos >= mStream.size(); }

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
            const std::size_t n = std::min(report, p.mStream.size() - p.mPos);
            std::memset(data, 0, report);
            std::memcpy(data, p.mStream.data() + p.mPos, n);
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

// What is printed must be read back without complaint, and from the first load
// on, saving again must give the same text: a value that drifts on each save and
// load would change a user's profile every time it is opened and saved. The first
// load may move a value once: an amplifier can report a Q in hundredths, which a
// loaded file keeps on the tenth the wire can carry back.
template <typename T>
void CheckSavesAndLoads(const T& saved, std::string (*print)(const T&),
                        ProfileResult (*parse)(const char*, std::size_t, T&)) {
    const std::string text = print(saved);
    auto again = std::make_unique<T>();
    if (parse(text.data(), text.size(), *again) != ProfileResult::Ok) std::abort();
    const std::string loaded = print(*again);
    if (loaded == text) return;
    auto third = std::make_unique<T>();
    if (parse(loaded.data(), loaded.size(), *third) != ProfileResult::Ok) std::abort();
    if (print(*third) != loaded) std::abort();
}

// A scene name is kept in a profile as Base64 text, which must decode to the
// same bytes.
void CheckNameSavesAndLoads(const SceneName& name) {
    SceneName again{};
    if (!Base64DecodeInto(Base64Encode(name.data(), name.size()), again.data(), again.size()) ||
        again != name) {
        std::abort();
    }
}

// Most mutations that reach the model set the same values again. The checks
// depend on the bytes alone, so bytes already checked (by their hash) are
// skipped; a first occurrence, and so any reproduction, is always checked.
// The table is allocated once: an allocation left standing by an input makes
// libFuzzer run that input again under a leak check.
class SeenHashes {
public:
    // Returns whether `bytes` are new; forgets everything when nearly full.
    bool FirstSeen(std::string_view bytes) {
        std::size_t h = std::hash<std::string_view>()(bytes);
        h += h == 0;  // 0 marks an empty slot
        if (mCount >= mSlots.size() / 4 * 3) {
            std::fill(mSlots.begin(), mSlots.end(), 0);
            mCount = 0;
        }
        const std::size_t mask = mSlots.size() - 1;
        for (std::size_t i = h & mask;; i = (i + 1) & mask) {
            if (mSlots[i] == h) return false;
            if (mSlots[i] == 0) {
                mSlots[i] = h;
                ++mCount;
                return true;
            }
        }
    }

private:
    std::vector<std::size_t> mSlots = std::vector<std::size_t>(std::size_t{1} << 20);
    std::size_t mCount = 0;
};

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

    // One link serves every input: starting and stopping its worker thread
    // would cost more than the rest of an input. Nothing of one input may
    // reach the next: opening the interface starts the receive ring and the
    // parser empty, and what replies set on the link is put back as a new
    // link has it.
    static ReplayPort port;
    static DeviceLink link(port);
    link.MainReceiver = sink.get();
    link.SceneReceiver = sink.get();
    link.IrcReceiver = sink.get();
    link.MemReceiver = sink.get();
    link.McuNormalMode = false;
    link.DeviceModel = -1;
    link.sys_upg_status = UPG_IDLE;
    link.AckWait = ACK_WAIT_NONE;
    port.Serve(Stream(data, size));
    link.OpenHIDDevice();
    while (!port.Exhausted()) link.ReadHIDData(link.ReceiveBuffer(), 0);
    link.CloseHIDDevice(false);

    // A whole profile is the header and the scene names around eleven scene
    // bodies; each body is printed and read by the code of a scene profile,
    // into its own state only, and each name by the Base64 pair. So every
    // changed state is checked as a scene profile on its own (a tenth of the
    // text), every changed name through the Base64 pair, and the whole profile
    // once for each new combination of changed parts.
    static SeenHashes checkedStates, checkedNames, checkedShapes;
    const ControllerModel& model = sink->model;
    std::string shape;  // one letter per part: changed or not
    auto checkState = [&](const DspState& state, const DspState& fresh) {
        const bool changed = Bytes(state) != Bytes(fresh);
        shape += changed ? 'c' : '-';
        if (changed && checkedStates.FirstSeen(Bytes(state))) {
            CheckSavesAndLoads<DspState>(state, &SceneProfileText, &ParseSceneProfile);
        }
    };
    checkState(model.live, kFresh->live);
    for (std::size_t k = 0; k < model.scenes.size(); ++k) {
        checkState(model.scenes[k], kFresh->scenes[k]);
    }
    for (std::size_t k = 0; k < model.names.size(); ++k) {
        const bool changed = Bytes(model.names[k]) != Bytes(kFresh->names[k]);
        shape += changed ? 'c' : '-';
        if (changed && checkedNames.FirstSeen(Bytes(model.names[k]))) {
            CheckNameSavesAndLoads(model.names[k]);
        }
    }
    if (shape.find('c') != std::string::npos && checkedShapes.FirstSeen(shape)) {
        CheckSavesAndLoads<WholeProfile>(model, &WholeProfileText, &ParseWholeProfile);
    }
    return 0;
}

#include "firmware/UpgradeImage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <new>

#include "base/Log.h"
#include "base/Platform.h"

namespace kavelo {

namespace {

// Identifies the failed check in "return UPG_FILE_INVALID" log lines.
enum InvalidCheck : int {
    kCheckTooLarge = 1,
    kCheckTooSmall = 2,
    kCheckRead = 3,
    kCheckContent = 4,  // kind, model or checksum
    kCheckNoMemory = 5,
    kCheckLayout = 6,  // combined file head or sizes
};

int Invalid(const std::string& path, InvalidCheck check) {
    LogPrintA("return UPG_FILE_INVALID %s %d\n", path.c_str(), static_cast<int>(check));
    return UPG_FILE_INVALID;
}

std::uint32_t ReadBe32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// An open file that closes itself.
class File {
public:
    explicit File(const std::string& path) : mFile(OpenFile(path, "rb")) {}
    ~File() {
        if (mFile) std::fclose(mFile);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const { return mFile != nullptr; }
    // Size in bytes, or -1 when it cannot be told (a directory, a pipe).
    long Size() {
        if (std::fseek(mFile, 0, SEEK_END) != 0) return -1;
        const long size = std::ftell(mFile);
        if (std::fseek(mFile, 0, SEEK_SET) != 0) return -1;
        return size;
    }
    // Reads the whole file of `size` bytes into `out`. False on a short read or
    // when the buffer cannot be allocated (`noMemory` tells which).
    bool ReadAll(long size, std::vector<std::uint8_t>& out, bool& noMemory) {
        noMemory = false;
        try {
            out.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            noMemory = true;
            return false;
        }
        if (out.empty()) return true;
        return std::fread(out.data(), 1, out.size(), mFile) == out.size();
    }

private:
    std::FILE* mFile;
};

// One container inside a buffer of at least kContainerOverhead + 1 bytes.
struct ContainerView {
    std::uint8_t kind = 0;
    std::uint8_t model = 0;
    std::array<std::uint8_t, 4> start{};
    const std::uint8_t* data = nullptr;
    std::size_t dataSize = 0;
    std::array<std::uint8_t, 4> trailer{};
    std::uint32_t computed = 0;
    std::uint32_t stored = 0;
};

ContainerView ViewContainer(const std::uint8_t* p, std::size_t size) {
    ContainerView v;
    v.kind = p[0];
    v.model = p[1];
    std::copy(p + 2, p + 6, v.start.begin());
    v.data = p + kContainerHeaderSize;
    v.dataSize = size - kContainerOverhead;
    std::copy(p + size - 8, p + size - 4, v.trailer.begin());
    v.computed = UpgradeChecksum(p, size - 4);
    v.stored = ReadBe32(p + size - 4);
    return v;
}

bool AssignImage(std::vector<std::uint8_t>& image, const ContainerView& v) {
    try {
        image.assign(v.data, v.data + v.dataSize);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Smallest container: header, one data byte, trailer and checksum. An empty
// image would leave nothing to transfer and no measure of progress.
constexpr std::size_t kMinContainerSize = kContainerOverhead + 1;

// Reads a single-container file whole after checking its size. With
// `logOpenError` a file that cannot be opened is logged; `beforeRead` runs
// once the size passed. Returns UPG_FILE_VALID with the bytes, or the code.
int ReadContainerFile(const std::string& path, bool logOpenError,
                      const std::function<void(long)>& beforeRead,
                      std::vector<std::uint8_t>& bytes) {
    File file(path);
    if (!file.IsOpen()) {
        if (logOpenError) LogPrintA("Error: Open file %s error!\n", path.c_str());
        return UPG_FILE_OPEN_FAIL;
    }
    LogPrintA("Open file %s success!\n", path.c_str());
    const long size = file.Size();
    if (size < 0) return Invalid(path, kCheckRead);
    if (static_cast<unsigned long>(size) > kMaxContainerFileSize)
        return Invalid(path, kCheckTooLarge);
    if (static_cast<std::size_t>(size) < kMinContainerSize) return Invalid(path, kCheckTooSmall);
    if (beforeRead) beforeRead(size);
    bool noMemory = false;
    if (!file.ReadAll(size, bytes, noMemory))
        return Invalid(path, noMemory ? kCheckNoMemory : kCheckRead);
    return UPG_FILE_VALID;
}

std::string FileName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

void ResetParse(UpgradeImages& images) {
    images.FreeAll();
    images.upg_device = UPG_DEVICE_NONE;
    images.statusAfterParse = UPG_IDLE;
}

// The shared body of the MCU application and bootloader parsers.
int ParseMcuKind(UpgradeImages& images, const UpgradeParseContext& ctx, const std::string& path,
                 UpgradeDevice device, const char* name, const char* copyFailedText) {
    LogPrintA("%s!\n", name);
    ResetParse(images);
    if (!ctx.deviceOpen) {
        LogPrintA("%s return UPG_CONNECT_FAIL!\n", name);
        return UPG_CONNECT_FAIL;
    }
    const int rc = CopyFileToBuffer(images, ctx, path);
    if (rc != UPG_FILE_VALID) {
        LogPrintA("%s", copyFailedText);
        return rc;
    }
    images.upg_device = device;
    images.statusAfterParse = UPG_ENTER;
    LogPrintA("%s return  ok!\n", name);
    return UPG_FILE_VALID;
}

}  // namespace

void UpgradeImages::FreeMcuImage() {
    std::vector<std::uint8_t>().swap(mcuImage);
    mcuRemaining = 0;
}

void UpgradeImages::FreeDspImage() {
    std::vector<std::uint8_t>().swap(dspImage);
    dspSent = 0;
}

void UpgradeImages::FreeAll() {
    FreeMcuImage();
    FreeDspImage();
}

UpgradeFileKind RecogniseUpgradeFile(const std::string& path) {
    const std::string name = Upper(FileName(path));
    if (name.find("BL_UPG.BIN") != std::string::npos) return UpgradeFileKind::Bootloader;
    if (name.find("FLASH_UPG.BIN") != std::string::npos) return UpgradeFileKind::DspFlash;
    if (name.find("MCU_UPG.BIN") != std::string::npos) return UpgradeFileKind::Mcu;
    if (name.find("UPG_FW.BIN") != std::string::npos) return UpgradeFileKind::Combined;
    return UpgradeFileKind::Unknown;
}

std::uint32_t UpgradeChecksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];
    return sum;
}

int CopyFileToBuffer(UpgradeImages& images, const UpgradeParseContext& ctx,
                     const std::string& path) {
    LogPrintA("CopyFileToBuffer\n");
    images.FreeMcuImage();
    std::vector<std::uint8_t> bytes;
    const int rc = ReadContainerFile(path, false, nullptr, bytes);
    if (rc != UPG_FILE_VALID) return rc;

    const ContainerView v = ViewContainer(bytes.data(), bytes.size());
    LogPrintA("cal MCU encrypt_checksum=0x%x!\n", v.computed);
    LogPrintA("encrypt_checksum=0x%x!\n", v.stored);
    LogPrintA("noCheckID=false, FW_ID=0x%x, FW_MODEL_ID=0x%x, pc_model_id=0x%x\n", v.kind, v.model,
              ctx.modelId);
    images.imageKind = v.kind;
    images.imageModel = v.model;
    if (v.kind != kImageKindMcu || v.model != ctx.modelId || v.computed != v.stored)
        return Invalid(path, kCheckContent);
    if (!AssignImage(images.mcuImage, v)) return Invalid(path, kCheckNoMemory);
    images.mcuRemaining = images.mcuImage.size();
    images.mcuStartParam = v.start;
    LogPrintA("UPG_FILE_VALID\n");
    return UPG_FILE_VALID;
}

int MCUUpgParsingFile(UpgradeImages& images, const UpgradeParseContext& ctx,
                      const std::string& path) {
    return ParseMcuKind(images, ctx, path, UPG_DEVICE_MCU, "MCUUpgParsingFile",
                        "MCUUpgParsingFile return as failed in MCUUpgParsingFile!\n");
}

int MCUUpgBLParsingFile(UpgradeImages& images, const UpgradeParseContext& ctx,
                        const std::string& path) {
    return ParseMcuKind(images, ctx, path, UPG_DEVICE_BOOTLOADER, "MCUUpgBLParsingFile",
                        "MCUUpgBLParsingFile return as failed in CopyFileToBuffer!\n");
}

int FlashUpgParsingFile(UpgradeImages& images, const UpgradeParseContext& ctx,
                        const std::string& path) {
    LogPrintA("FlashUpgParsingFile!\n");
    ResetParse(images);
    if (!ctx.deviceOpen) {
        LogPrintA("FlashUpgParsingFile return USB disconnected!\n");
        return UPG_CONNECT_FAIL;
    }
    std::vector<std::uint8_t> bytes;
    const int rc = ReadContainerFile(
        path, true,
        [&](long size) {
            if (ctx.emptyReceiveRing) ctx.emptyReceiveRing();
            LogPrintA("%s file size is %ld\n", path.c_str(), size);
        },
        bytes);
    if (rc != UPG_FILE_VALID) return rc;

    const ContainerView v = ViewContainer(bytes.data(), bytes.size());
    LogPrintA("cal FLASH checksum=0x%x!\n", v.computed);
    LogPrintA("encrypt_checksum=0x%x!\n", v.stored);
    images.imageKind = v.kind;
    images.imageModel = v.model;
    // The kind byte is deliberately not checked: DSP images of other kinds
    // share the container.
    if (v.model != ctx.modelId || v.computed != v.stored) return Invalid(path, kCheckContent);
    if (!AssignImage(images.dspImage, v)) return Invalid(path, kCheckNoMemory);
    images.dspSent = 0;
    images.dspStartParam = v.start;
    images.upg_device = UPG_DEVICE_DSP_FLASH;
    images.statusAfterParse = UPG_START;
    LogPrintA("FlashUpgParsingFile return ok!\n");
    return UPG_FILE_VALID;
}

int ParsingUpgFWFile(UpgradeImages& images, const UpgradeParseContext& ctx,
                     const std::string& path) {
    ResetParse(images);
    File file(path);
    if (!file.IsOpen()) return Invalid(path, kCheckRead);
    LogPrintA("Open file %s success!\n", path.c_str());
    const long size = file.Size();
    if (size < 0) return Invalid(path, kCheckRead);
    if (static_cast<unsigned long>(size) > kMaxCombinedFileSize)
        return Invalid(path, kCheckTooLarge);
    // Head bytes, image count and two sizes at the least.
    if (static_cast<std::size_t>(size) < 3 + 2 * 4) return Invalid(path, kCheckTooSmall);

    std::vector<std::uint8_t> bytes;
    bool noMemory = false;
    if (!file.ReadAll(size, bytes, noMemory)) {
        LogPrintA(noMemory ? "malloc mergedFW buffer error!\n" : "read FW error!\n");
        return Invalid(path, noMemory ? kCheckNoMemory : kCheckRead);
    }
    const std::uint8_t* p = bytes.data();
    const std::size_t fileSize = bytes.size();

    LogPrintA("head is 0x%x, 0x%x\n", p[0], p[1]);
    if (p[0] != kCombinedHeadMark && p[1] != kCombinedHeadMark) {
        LogPrintA("upg FW not match!\n");
        return Invalid(path, kCheckLayout);
    }
    const std::size_t count = p[2];
    LogPrintA("totalFW=%d\n", static_cast<int>(count));
    const std::size_t tableEnd = 3 + 4 * count;
    if (count < 2 || tableEnd > fileSize) return Invalid(path, kCheckLayout);
    std::vector<std::uint64_t> sizes(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* t = p + 3 + 4 * i;
        LogPrintA("tmp[0]=0x%x, tmp[1]=0x%x, tmp[2]=0x%x, tmp[3]=0x%x\n", t[0], t[1], t[2], t[3]);
        sizes[i] = ReadBe32(t);
        LogPrintA("FWSize[%d]=0x%x\n", static_cast<int>(i), static_cast<unsigned>(sizes[i]));
    }
    // 64-bit sums: two 32-bit sizes cannot wrap past the file's end.
    if (sizes[0] < kMinContainerSize || sizes[1] < kMinContainerSize ||
        tableEnd + sizes[0] + sizes[1] > fileSize)
        return Invalid(path, kCheckLayout);

    const ContainerView mcu = ViewContainer(p + tableEnd, static_cast<std::size_t>(sizes[0]));
    LogPrintA("MCU imgfilesize=0x%x\n", static_cast<unsigned>(mcu.dataSize));
    LogPrintA("HEAD[0]=0x%x, HEAD[1]=0x%x, HEAD[2]=0x%x, HEAD[3]=0x%x\n", mcu.start[0],
              mcu.start[1], mcu.start[2], mcu.start[3]);
    LogPrintA("read MCUFW size = 0x%x\n", static_cast<unsigned>(mcu.dataSize));
    LogPrintA("MCU cal encrypt_checksum=0x%x!\n", mcu.computed);
    LogPrintA("MCU encrypt_checksum=0x%x!\n", mcu.stored);
    images.imageKind = mcu.kind;
    images.imageModel = mcu.model;
    if (mcu.kind != kImageKindMcu || mcu.model != ctx.modelId || mcu.computed != mcu.stored) {
        LogPrintA("MCU checksum error!\n");
        return Invalid(path, kCheckContent);
    }
    if (!AssignImage(images.mcuImage, mcu)) return Invalid(path, kCheckNoMemory);
    images.mcuRemaining = images.mcuImage.size();
    images.mcuStartParam = mcu.start;

    const ContainerView dsp =
        ViewContainer(p + tableEnd + sizes[0], static_cast<std::size_t>(sizes[1]));
    LogPrintA("dspsize=0x%x\n", static_cast<unsigned>(dsp.dataSize));
    if (!AssignImage(images.dspImage, dsp)) {
        LogPrintA("malloc DSPFW fail\n");
        images.FreeAll();
        return Invalid(path, kCheckNoMemory);
    }
    LogPrintA("HEAD[0]=0x%x, HEAD[1]=0x%x, HEAD[2]=0x%x, HEAD[3]=0x%x\n", dsp.start[0],
              dsp.start[1], dsp.start[2], dsp.start[3]);
    LogPrintA("read DSPFW size = 0x%x\n", static_cast<unsigned>(dsp.dataSize));
    LogPrintA("last[0]=0x%x, last[1]=0x%x, last[2]=0x%x, last[3]=0x%x\n", dsp.trailer[0],
              dsp.trailer[1], dsp.trailer[2], dsp.trailer[3]);
    LogPrintA("cal DSP encrypt_checksum=0x%x!\n", dsp.computed);
    LogPrintA("dsp encrypt_checksum=0x%x!\n", dsp.stored);
    images.imageKind = dsp.kind;
    images.imageModel = dsp.model;
    if (dsp.kind != kImageKindDsp || dsp.model != ctx.modelId || dsp.computed != dsp.stored) {
        LogPrintA("DSP checksum error!\n");
        images.FreeAll();
        return Invalid(path, kCheckContent);
    }
    images.dspSent = 0;
    images.dspStartParam = dsp.start;
    // The combined file travels as a DSP flash upgrade of its second image.
    images.upg_device = UPG_DEVICE_DSP_FLASH;
    images.statusAfterParse = UPG_IDLE;
    return UPG_FILE_VALID;
}

int ParseUpgradeFile(UpgradeFileKind kind, UpgradeImages& images, const UpgradeParseContext& ctx,
                     const std::string& path) {
    using Parser = int (*)(UpgradeImages&, const UpgradeParseContext&, const std::string&);
    static const struct {
        UpgradeFileKind kind;
        const char* logLine;
        Parser parse;
    } kParsers[] = {
        {UpgradeFileKind::Bootloader, "before MCUUpgBLParsingFile\n", &MCUUpgBLParsingFile},
        {UpgradeFileKind::DspFlash, "before FlashUpgParsingFile\n", &FlashUpgParsingFile},
        {UpgradeFileKind::Mcu, "before MCUUpgParsingFile\n", &MCUUpgParsingFile},
        {UpgradeFileKind::Combined, "before ParsingUpgFWFile\n", &ParsingUpgFWFile},
    };
    for (const auto& p : kParsers) {
        if (p.kind != kind) continue;
        LogPrintA("%s", p.logLine);
        return p.parse(images, ctx, path);
    }
    return UPG_FILE_INVALID;
}

}  // namespace kavelo

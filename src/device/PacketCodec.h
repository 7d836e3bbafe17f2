#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The wire format of the amplifier link: framing, classes, packet kinds and
// acknowledgement statuses. Everything that knows the byte layout lives here.
namespace kavelo {

// Packet classes.
inline constexpr std::uint8_t CMD_DSP = 1;
inline constexpr std::uint8_t CMD_FLASH = 2;
inline constexpr std::uint8_t CMD_MCU = 3;
inline constexpr std::uint8_t CMD_DSP_DWRITE = 4;

// Packet kinds.
inline constexpr std::uint8_t OP_SET = 0xBB;
inline constexpr std::uint8_t OP_GET = 0x66;
inline constexpr std::uint8_t OP_UPDATE = 0xDD;
inline constexpr std::uint8_t OP_ACK = 0xEE;

// Acknowledgement statuses (first payload byte of an OP_ACK packet).
inline constexpr std::uint8_t ACK_READY = 0x0A;
inline constexpr std::uint8_t ACK_NOT_READY = 0x60;

// MCU class subcommands.
inline constexpr std::uint8_t MCU_UPG_ENTER = 0x01;
inline constexpr std::uint8_t MCU_UPG_START = 0x02;
inline constexpr std::uint8_t MCU_UPG_DATA = 0x03;
inline constexpr std::uint8_t MCU_UPG_FINISH = 0x04;
inline constexpr std::uint8_t MCU_HANDSHAKE = 0x08;
inline constexpr std::uint8_t MCU_GET_DSPFLASH_VER = 0x0B;
inline constexpr std::uint8_t MCU_PC_CONNECT = 0x1F;
inline constexpr std::uint8_t MCU_INIT = 0x60;
inline constexpr std::uint8_t MCU_REBOOT = 0x8F;
inline constexpr std::uint8_t MCU_FACTORY_RESET = 0x90;
inline constexpr std::uint8_t MCU_PING = 0x93;
inline constexpr std::uint8_t MCU_BL_UPG_ENTER = 0xA0;
inline constexpr std::uint8_t MCU_BL_UPG_START = 0xA1;
inline constexpr std::uint8_t MCU_BL_UPG_DATA = 0xA2;
inline constexpr std::uint8_t MCU_BL_UPG_FINISH = 0xA3;

// FLASH class subcommands of the DSP flash upgrade.
inline constexpr std::uint8_t FLASH_UPG_START = 0x03;
inline constexpr std::uint8_t FLASH_UPG_DATA = 0x04;
inline constexpr std::uint8_t FLASH_UPG_FINISH = 0x05;

// Handshake payload byte that marks the loader (no application running).
inline constexpr std::uint8_t MCU_LOADER_MODE = 0xF0;

// Report sizes: the host writes a report id byte plus 64 data bytes and reads
// 64 data bytes (the HID library strips the id).
inline constexpr std::size_t kOutputReportSize = 65;
inline constexpr std::size_t kInputReportSize = 64;
// Longest payload a host command can carry in one report.
inline constexpr std::size_t kMaxHostPayload = 57;
// Parser limits: the position index never reaches 64, so L is at most 61 and
// the body (subcmd, optype, payload) holds at most 60 bytes.
inline constexpr int kParserMaxIndex = 64;
inline constexpr std::size_t kBodySize = 60;

using OutputReport = std::array<std::uint8_t, kOutputReportSize>;

// Checksum of a packet: two's complement of the 8-bit sum of L, cmd and the
// L - 1 body bytes. `body` must hold at least L - 1 bytes.
std::uint8_t PacketChecksum(std::uint8_t length, std::uint8_t cmd, const std::uint8_t* body);

// Builds the 65-byte output report of one host command. Returns false (and
// leaves `report` zeroed) when len exceeds kMaxHostPayload.
bool EncodeReport(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                  const std::uint8_t* payload, std::size_t len, OutputReport& report);

// Frames one packet (sync, L, cmd, subcmd, optype, payload, checksum) as sent by
// either side, without report id or padding. Returns the number of bytes
// written to `out`, or 0 when the packet does not fit (payload above 58 bytes).
std::size_t FramePacket(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                        const std::uint8_t* payload, std::size_t len, std::uint8_t* out,
                        std::size_t outSize);

// One complete, checksum-verified packet: L and the class byte, and the body
// (body[0] subcmd, body[1] optype, payload from body[2]).
struct Packet {
    std::uint8_t length = 0;
    std::uint8_t cmd = 0;
    std::array<std::uint8_t, kBodySize> body{};
};

// Byte-by-byte framing parser. The state survives between calls so a packet
// may span reports. Feed returns true when the byte completed a packet with a
// good checksum; that packet is then in Current().
class PacketParser {
public:
    struct Step {
        bool packetDone = false;       // the byte was a checksum position
        bool checksumOk = false;       // ... and it matched
        std::uint32_t negatedSum = 0;  // the 32-bit negated sum, for the log
        bool logged = false;           // the byte was at position 4 or beyond
        int index = 0;                 // position of the byte (for the log)
    };

    Step Feed(std::uint8_t byte);
    const Packet& Current() const { return mPacket; }
    int Index() const { return mIndex; }
    void Reset();

private:
    int mIndex = 0;
    Packet mPacket;
};

// Hex dump helpers for tests and logs: "00 AA 55" <-> bytes.
std::string ToHex(const std::uint8_t* data, std::size_t len);

}  // namespace kavelo

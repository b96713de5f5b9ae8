// The two HID protocols of the NXP i.MX RT1060 as the device side reads them: the ROM's Serial
// Download Protocol and the MCU-Bootloader packets the flash loader speaks. Pure parsers over
// (bytes, length): they never read past length and accept any input, so they can be fuzzed.
//
// Report IDs (byte 0): SDP 1 = command, 2 = data; MCU-Bootloader 1 = command, 2 = data out,
// 3 = response in (the answers, built here as the device sends them).
// SDP command (big-endian): type u16 @1, address u32 @3, format u8 @7, count u32 @8, data u32 @12,
// reserved @16: 17 bytes with the report ID. SDP data: the bytes after the report ID, at most 1024.
// MCU-Bootloader (little-endian): byte 1 = 0, packet length u16 @2, then the packet: a command is
// tag, flags, reserved, parameter count, parameters (u32 each, at most 7); data is raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace veltra::sim::nxp {

// ---- Serial Download Protocol ----
constexpr std::uint8_t kSdpCommandReport = 1;
constexpr std::uint8_t kSdpDataReport = 2;
constexpr std::size_t kSdpCommandReportLength = 17;
constexpr std::size_t kSdpMaxData = 1024;
// The output report length the ROM's HID descriptor declares (report ID and 1024 bytes): Windows
// refuses a write of any other length.
constexpr std::size_t kSdpReportLength = 1025;

namespace sdp {
constexpr std::uint16_t kReadRegister = 0x0101;
constexpr std::uint16_t kWriteRegister = 0x0202;
constexpr std::uint16_t kWriteFile = 0x0404;
constexpr std::uint16_t kErrorStatus = 0x0505;
constexpr std::uint16_t kWriteDcd = 0x0A0A;
constexpr std::uint16_t kJumpAddress = 0x0B0B;
constexpr std::uint16_t kSkipDcdHeader = 0x0C0C;
}  // namespace sdp

struct SdpCommand {
  std::uint16_t type = 0;
  std::uint32_t address = 0;
  std::uint8_t format = 0;
  std::uint32_t count = 0;
  std::uint32_t data = 0;
};

// A command report (ID 1, at least 17 bytes).
bool ParseSdpCommand(const std::uint8_t* report, std::size_t length, SdpCommand* command);
// A data report (ID 2): its payload, the bytes after the ID, at most kSdpMaxData.
bool ParseSdpData(const std::uint8_t* report, std::size_t length, const std::uint8_t** data,
                  std::size_t* dataLength);

// ---- MCU-Bootloader packets ----
constexpr std::uint8_t kBlCommandReport = 1;
constexpr std::uint8_t kBlDataReport = 2;
constexpr std::size_t kBlReportHeader = 4;  // report ID, 0, packet length
constexpr std::size_t kBlMaxParameters = 7;
// The output report length the flash loader's HID descriptor declares.
constexpr std::size_t kBlReportLength = 1016;

namespace tag {
constexpr std::uint8_t kFlashEraseAll = 0x01;
constexpr std::uint8_t kFlashEraseRegion = 0x02;
constexpr std::uint8_t kReadMemory = 0x03;
constexpr std::uint8_t kWriteMemory = 0x04;
constexpr std::uint8_t kFillMemory = 0x05;
constexpr std::uint8_t kGetProperty = 0x07;
constexpr std::uint8_t kExecute = 0x09;
constexpr std::uint8_t kCall = 0x0A;
constexpr std::uint8_t kReset = 0x0B;
constexpr std::uint8_t kSetProperty = 0x0C;
constexpr std::uint8_t kConfigureMemory = 0x11;
}  // namespace tag
constexpr std::uint8_t kFlagHasDataPhase = 0x01;

// ---- the answers: response packets in input reports of kBlReportLength ----
constexpr std::uint8_t kBlResponseReport = 3;
constexpr std::size_t kBlResponseStatus = 8;  // the first parameter: the status word
namespace response {
constexpr std::uint8_t kGeneric = 0xA0;      // status, tag of the command answered
constexpr std::uint8_t kGetProperty = 0xA7;  // status, then the value when it succeeded
}  // namespace response
// The status words of the MCU-Bootloader protocol that the flash loader model answers with.
namespace status {
constexpr std::uint32_t kSuccess = 0;
constexpr std::uint32_t kFail = 1;
constexpr std::uint32_t kInvalidArgument = 4;
constexpr std::uint32_t kUnknownCommand = 10000;
constexpr std::uint32_t kAbortDataPhase = 10002;
constexpr std::uint32_t kMemoryRangeInvalid = 10200;
constexpr std::uint32_t kMemoryCumulativeWrite = 10203;  // programming bytes not erased
constexpr std::uint32_t kMemoryNotConfigured = 10205;
constexpr std::uint32_t kUnknownProperty = 10300;
}  // namespace status

// One answer as an input report of kBlReportLength: a response packet with this tag and these
// parameters (at most kBlMaxParameters), the rest zero.
std::vector<std::uint8_t> BuildBlResponse(std::uint8_t tag,
                                          std::initializer_list<std::uint32_t> parameters);

struct BlCommand {
  std::uint8_t tag = 0;
  std::uint8_t flags = 0;
  std::uint8_t parameterCount = 0;
  std::uint32_t parameters[kBlMaxParameters] = {};
};

// A command report (ID 1) whose packet length covers the header and every parameter it names.
bool ParseBlCommand(const std::uint8_t* report, std::size_t length, BlCommand* command);
// A data report (ID 2): its payload as the packet length gives it, within the report.
bool ParseBlData(const std::uint8_t* report, std::size_t length, const std::uint8_t** data,
                 std::size_t* dataLength);

}  // namespace veltra::sim::nxp

// The HID reports of the NXP route as the program writes them: the ROM's Serial Download Protocol
// (1025-byte reports, big-endian fields) and the flash loader's MCU-Bootloader packets (1016-byte
// reports, little-endian fields). Pure builders over caller-owned buffers of the report size, and
// the reader of the flash loader's answers (input reports of the same framing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace veltra {

// ---- Serial Download Protocol (the RT1060 ROM) ----
constexpr std::size_t kSdpReportSize = 1025;
constexpr std::uint32_t kSdpPayloadSize = 1024;  // data bytes per data report, from offset 1
constexpr std::uint8_t kSdpCommandReportId = 1;
constexpr std::uint8_t kSdpDataReportId = 2;
constexpr std::uint16_t kSdpWriteFile = 0x0404;
constexpr std::uint16_t kSdpErrorStatus = 0x0505;
constexpr std::uint16_t kSdpJumpAddress = 0x0B0B;

struct SdpCommand {
  std::uint16_t type = 0;
  std::uint32_t address = 0;
  std::uint8_t format = 0;
  std::uint32_t count = 0;
  std::uint32_t data = 0;
};
// Zero-fills the report and writes the command (report ID 1).
void BuildSdpCommandReport(std::uint8_t (&report)[kSdpReportSize], const SdpCommand& command);
// Zero-fills the report and copies min(length, 1024) bytes behind report ID 2; returns the count.
std::uint32_t BuildSdpDataReport(std::uint8_t (&report)[kSdpReportSize], const std::uint8_t* data,
                                 std::uint32_t length);

// ---- MCU-Bootloader packets (the flash loader) ----
constexpr std::size_t kBlReportSize = 1016;
constexpr std::uint32_t kBlMaxPayload = 1012;  // data bytes per data report, from offset 4
constexpr std::uint8_t kBlCommandReportId = 1;
constexpr std::uint8_t kBlDataReportId = 2;
constexpr std::size_t kBlMaxParameters = 7;

constexpr std::uint8_t kBlTagFlashEraseRegion = 0x02;
constexpr std::uint8_t kBlTagWriteMemory = 0x04;
constexpr std::uint8_t kBlTagFillMemory = 0x05;
constexpr std::uint8_t kBlTagGetProperty = 0x07;
constexpr std::uint8_t kBlTagSetProperty = 0x0C;
constexpr std::uint8_t kBlTagConfigureMemory = 0x11;
constexpr std::uint8_t kBlFlagHasDataPhase = 0x01;

// The flash loader's answers: input reports with ID 3, each one response packet. Every command
// gets one; WriteMemory gets a second when its data phase is over (or broken off).
constexpr std::uint8_t kBlResponseReportId = 3;
constexpr std::uint8_t kBlTagGenericResponse = 0xA0;      // status, tag of the command answered
constexpr std::uint8_t kBlTagGetPropertyResponse = 0xA7;  // status, the property's value(s)
constexpr std::uint32_t kBlStatusSuccess = 0;

// Whether the report is the flash loader's answer of success to the command with this tag: a
// GetProperty response for GetProperty, a generic response naming the tag for any other command.
// A report that is short, malformed, of another command or with any other status is not.
bool BlAnswerIsSuccess(const std::uint8_t* report, std::size_t length, std::uint8_t commandTag);

// Zero-fills the report and writes one command packet (at most kBlMaxParameters parameters; any
// more are left out).
void BuildBlCommandReport(std::uint8_t (&report)[kBlReportSize], std::uint8_t tag,
                          std::uint8_t flags, std::initializer_list<std::uint32_t> parameters);
// Zero-fills the report and writes one data packet of min(length, 1012) bytes (the device reads
// only the payload length given in the packet). Returns the count.
std::uint32_t BuildBlDataReport(std::uint8_t (&report)[kBlReportSize], const std::uint8_t* data,
                                std::uint32_t length);

}  // namespace veltra

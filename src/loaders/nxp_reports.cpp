#include "loaders/nxp_reports.h"

#include <algorithm>
#include <cstring>

#include "core/byte_order.h"

namespace veltra {

namespace {

// SDP command report offsets (big-endian fields).
constexpr std::size_t kSdpType = 1;
constexpr std::size_t kSdpAddress = 3;
constexpr std::size_t kSdpFormat = 7;
constexpr std::size_t kSdpCount = 8;
constexpr std::size_t kSdpData = 12;

// MCU-Bootloader report offsets (little-endian fields).
constexpr std::size_t kBlPacketLength = 2;
constexpr std::size_t kBlTag = 4;
constexpr std::size_t kBlFlags = 5;
constexpr std::size_t kBlParameterCount = 7;
constexpr std::size_t kBlParameters = 8;
constexpr std::size_t kBlCommandHeader = 4;     // tag, flags, reserved, parameter count
constexpr std::size_t kBlReportHeader = 4;      // report ID, a zero byte, packet length
constexpr std::size_t kBlStatusParameters = 2;  // status, then the tag answered or a value

}  // namespace

void BuildSdpCommandReport(std::uint8_t (&report)[kSdpReportSize], const SdpCommand& command) {
  std::memset(report, 0, sizeof report);
  report[0] = kSdpCommandReportId;
  PutBe16(report, kSdpType, command.type);
  PutBe32(report, kSdpAddress, command.address);
  report[kSdpFormat] = command.format;
  PutBe32(report, kSdpCount, command.count);
  PutBe32(report, kSdpData, command.data);
}

std::uint32_t BuildSdpDataReport(std::uint8_t (&report)[kSdpReportSize], const std::uint8_t* data,
                                 std::uint32_t length) {
  std::memset(report, 0, sizeof report);
  report[0] = kSdpDataReportId;
  const std::uint32_t count = data == nullptr ? 0 : std::min(length, kSdpPayloadSize);
  if (count != 0) {
    std::memcpy(&report[1], data, count);
  }
  return count;
}

void BuildBlCommandReport(std::uint8_t (&report)[kBlReportSize], std::uint8_t tag,
                          std::uint8_t flags, std::initializer_list<std::uint32_t> parameters) {
  std::memset(report, 0, sizeof report);
  const std::size_t count = std::min(parameters.size(), kBlMaxParameters);
  report[0] = kBlCommandReportId;
  PutLe16(report, kBlPacketLength, static_cast<std::uint16_t>(kBlCommandHeader + 4 * count));
  report[kBlTag] = tag;
  report[kBlFlags] = flags;
  report[kBlParameterCount] = static_cast<std::uint8_t>(count);
  std::size_t i = 0;
  for (const std::uint32_t value : parameters) {
    if (i == count) {
      break;
    }
    PutLe32(report, kBlParameters + 4 * i, value);
    ++i;
  }
}

std::uint32_t BuildBlDataReport(std::uint8_t (&report)[kBlReportSize], const std::uint8_t* data,
                                std::uint32_t length) {
  std::memset(report, 0, sizeof report);
  const std::uint32_t count = data == nullptr ? 0 : std::min(length, kBlMaxPayload);
  report[0] = kBlDataReportId;
  PutLe16(report, kBlPacketLength, static_cast<std::uint16_t>(count));
  if (count != 0) {
    std::memcpy(&report[kBlCommandHeader], data, count);
  }
  return count;
}

bool BlAnswerIsSuccess(const std::uint8_t* report, std::size_t length, std::uint8_t commandTag) {
  if (report == nullptr || length < kBlParameters + 4 * kBlStatusParameters ||
      report[0] != kBlResponseReportId) {
    return false;
  }
  // The packet must hold the header and both words it is read for.
  const std::size_t packet =
      static_cast<std::size_t>(report[kBlPacketLength] | (report[kBlPacketLength + 1] << 8));
  const std::size_t count = report[kBlParameterCount];
  if (packet < kBlCommandHeader + 4 * kBlStatusParameters || packet > length - kBlReportHeader ||
      count < kBlStatusParameters || kBlCommandHeader + 4 * count > packet) {
    return false;
  }
  if (GetLe32(report, length, kBlParameters) != kBlStatusSuccess) {
    return false;
  }
  if (commandTag == kBlTagGetProperty) {
    return report[kBlTag] == kBlTagGetPropertyResponse;
  }
  return report[kBlTag] == kBlTagGenericResponse &&
         GetLe32(report, length, kBlParameters + 4) == commandTag;
}

}  // namespace veltra

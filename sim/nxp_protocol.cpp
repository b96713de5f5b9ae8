#include "sim/nxp_protocol.h"

namespace veltra::sim::nxp {

namespace {

std::uint16_t Be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// SDP command offsets.
constexpr std::size_t kSdpType = 1;
constexpr std::size_t kSdpAddress = 3;
constexpr std::size_t kSdpFormat = 7;
constexpr std::size_t kSdpCount = 8;
constexpr std::size_t kSdpData = 12;

// MCU-Bootloader offsets.
constexpr std::size_t kBlPacketLength = 2;
constexpr std::size_t kBlTag = 4;
constexpr std::size_t kBlFlags = 5;
constexpr std::size_t kBlParameterCount = 7;
constexpr std::size_t kBlParameters = 8;
constexpr std::size_t kBlCommandHeader = 4;  // tag, flags, reserved, parameter count

// The packet of an MCU-Bootloader report, when its length fits in the report.
bool BlPacket(const std::uint8_t* report, std::size_t length, std::uint8_t reportId,
              std::size_t* packetLength) {
  if (report == nullptr || length < kBlReportHeader || report[0] != reportId) {
    return false;
  }
  const std::size_t packet = Le16(report + kBlPacketLength);
  if (packet > length - kBlReportHeader) {
    return false;
  }
  *packetLength = packet;
  return true;
}

}  // namespace

bool ParseSdpCommand(const std::uint8_t* report, std::size_t length, SdpCommand* command) {
  if (report == nullptr || command == nullptr || length < kSdpCommandReportLength ||
      report[0] != kSdpCommandReport) {
    return false;
  }
  command->type = Be16(report + kSdpType);
  command->address = Be32(report + kSdpAddress);
  command->format = report[kSdpFormat];
  command->count = Be32(report + kSdpCount);
  command->data = Be32(report + kSdpData);
  return true;
}

bool ParseSdpData(const std::uint8_t* report, std::size_t length, const std::uint8_t** data,
                  std::size_t* dataLength) {
  if (report == nullptr || data == nullptr || dataLength == nullptr || length < 2 ||
      report[0] != kSdpDataReport) {
    return false;
  }
  *data = report + 1;
  *dataLength = length - 1 < kSdpMaxData ? length - 1 : kSdpMaxData;
  return true;
}

bool ParseBlCommand(const std::uint8_t* report, std::size_t length, BlCommand* command) {
  std::size_t packet = 0;
  if (command == nullptr || !BlPacket(report, length, kBlCommandReport, &packet) ||
      packet < kBlCommandHeader) {
    return false;
  }
  const std::size_t count = report[kBlParameterCount];
  if (count > kBlMaxParameters || kBlCommandHeader + 4 * count > packet) {
    return false;
  }
  *command = BlCommand{};
  command->tag = report[kBlTag];
  command->flags = report[kBlFlags];
  command->parameterCount = static_cast<std::uint8_t>(count);
  for (std::size_t i = 0; i < count; ++i) {
    command->parameters[i] = Le32(report + kBlParameters + 4 * i);
  }
  return true;
}

bool ParseBlData(const std::uint8_t* report, std::size_t length, const std::uint8_t** data,
                 std::size_t* dataLength) {
  std::size_t packet = 0;
  if (data == nullptr || dataLength == nullptr ||
      !BlPacket(report, length, kBlDataReport, &packet)) {
    return false;
  }
  *data = report + kBlReportHeader;
  *dataLength = packet;
  return true;
}

std::vector<std::uint8_t> BuildBlResponse(std::uint8_t tag,
                                          std::initializer_list<std::uint32_t> parameters) {
  std::vector<std::uint8_t> report(kBlReportLength, 0);
  const std::size_t count =
      parameters.size() < kBlMaxParameters ? parameters.size() : kBlMaxParameters;
  const std::size_t packet = kBlCommandHeader + 4 * count;
  report[0] = kBlResponseReport;
  report[kBlPacketLength] = static_cast<std::uint8_t>(packet & 0xFF);
  report[kBlPacketLength + 1] = static_cast<std::uint8_t>(packet >> 8);
  report[kBlTag] = tag;
  report[kBlParameterCount] = static_cast<std::uint8_t>(count);
  std::size_t at = kBlParameters;
  for (const std::uint32_t value : parameters) {
    if (at + 4 > kBlParameters + 4 * count) {
      break;
    }
    for (int i = 0; i < 4; ++i) {
      report[at + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
    at += 4;
  }
  return report;
}

}  // namespace veltra::sim::nxp

#include "sim/flash_loader.h"

#include <algorithm>
#include <utility>

#include "platform/ports.h"
#include "sim/rt1060_rom.h"

namespace veltra::sim {

namespace {

constexpr std::uint32_t kMemoryIdMapped = 0;
constexpr std::uint32_t kMemoryIdFlexSpiNor = 9;
constexpr std::uint32_t kNorOptionTag = 0xC;
constexpr std::uint32_t kProgramFcbOption = 0xF000000F;
constexpr std::uint32_t kPropertyCurrentVersion = 1;
constexpr std::uint32_t kPropertyMaxPacketSize = 11;
constexpr std::uint8_t kErased = 0xFF;

bool FlashMemoryId(std::uint32_t memoryId) {
  return memoryId == kMemoryIdMapped || memoryId == kMemoryIdFlexSpiNor;
}

// The value GetProperty answers for the properties the model knows: version K1.4.0 ('K' and the
// three version bytes) and the largest packet a data report carries.
std::uint32_t PropertyValue(std::uint32_t property) {
  constexpr std::uint32_t kVersionK140 = 0x4B010400;
  return property == kPropertyCurrentVersion
             ? kVersionK140
             : static_cast<std::uint32_t>(nxp::kBlReportLength - nxp::kBlReportHeader);
}

// The protocol's status word for an outcome (a data phase still open is answered as success).
std::uint32_t StatusWord(BlStatus status) {
  switch (status) {
    case BlStatus::kSuccess:
    case BlStatus::kPending:
      return nxp::status::kSuccess;
    case BlStatus::kInvalidArgument:
      return nxp::status::kInvalidArgument;
    case BlStatus::kUnknownCommand:
      return nxp::status::kUnknownCommand;
    case BlStatus::kUnknownProperty:
      return nxp::status::kUnknownProperty;
    case BlStatus::kMemoryRangeInvalid:
      return nxp::status::kMemoryRangeInvalid;
    case BlStatus::kMemoryNotConfigured:
      return nxp::status::kMemoryNotConfigured;
    case BlStatus::kFlashNotErased:
      return nxp::status::kMemoryCumulativeWrite;
    case BlStatus::kDataPhaseAborted:
      return nxp::status::kAbortDataPhase;
    case BlStatus::kUnexpectedData:
    case BlStatus::kMalformedPacket:
      break;
  }
  return nxp::status::kFail;
}

}  // namespace

namespace {
std::uint64_t LoaderClockMs() {
  return ports().system != nullptr ? Sys().NowMs() : 0;
}
}  // namespace

bool FlashBoots(const SparseMemory& flash) {
  return flash.ReadLe32(kFlexSpiBase) == kFcbTag && !flash.All(kFlashImageAddress, 1, kErased);
}

bool FlashLoader::InFlash(std::uint32_t address, std::uint64_t length) const {
  return address >= kFlexSpiBase && static_cast<std::uint64_t>(address) + length <=
                                        static_cast<std::uint64_t>(kFlexSpiBase) + kFlexSpiSize;
}

FlashLoader::Result FlashLoader::OnReport(const std::uint8_t* report, std::size_t length) {
  nxp::BlCommand command;
  if (nxp::ParseBlCommand(report, length, &command)) {
    return OnCommand(command);
  }
  const std::uint8_t* data = nullptr;
  std::size_t dataLength = 0;
  if (nxp::ParseBlData(report, length, &data, &dataLength)) {
    ++dataPackets_;
    const std::uint64_t now = LoaderClockMs();
    if (timing_.dataGapMs > 0 && dataSeen_ && ports().system != nullptr &&
        now < lastDataMs_ + timing_.dataGapMs) {
      ++lostPackets_;  // still programming the last packet
      return Result::kAccepted;
    }
    lastDataMs_ = now;
    dataSeen_ = true;
    OnData(data, dataLength);
    return Result::kAccepted;
  }
  BlCommandRecord record;
  record.status = BlStatus::kMalformedPacket;
  commands_.push_back(record);
  return Result::kAccepted;
}

FlashLoader::Result FlashLoader::OnCommand(const nxp::BlCommand& command) {
  if (dataPhase_) {
    EndDataPhase(BlStatus::kDataPhaseAborted);
  }
  BlCommandRecord record;
  record.tag = command.tag;
  record.flags = command.flags;
  record.parameters.assign(command.parameters, command.parameters + command.parameterCount);
  commands_.push_back(record);
  const std::size_t index = commands_.size() - 1;
  Result result = Result::kAccepted;
  const BlStatus status = Execute(command, &result);
  commands_[index].status = status;
  if (result == Result::kAccepted) {
    Answer(command, status);
  }
  return result;
}

void FlashLoader::Answer(const nxp::BlCommand& command, BlStatus status) {
  const std::uint32_t word = StatusWord(status);
  const std::uint32_t duration =
      command.tag == nxp::tag::kFlashEraseRegion && status == BlStatus::kSuccess ? timing_.eraseMs
                                                                                 : 0;
  if (command.tag != nxp::tag::kGetProperty) {
    Queue(nxp::BuildBlResponse(nxp::response::kGeneric, {word, command.tag}), duration);
  } else if (status == BlStatus::kSuccess) {
    Queue(nxp::BuildBlResponse(nxp::response::kGetProperty,
                               {word, PropertyValue(command.parameters[0])}),
          duration);
  } else {
    Queue(nxp::BuildBlResponse(nxp::response::kGetProperty, {word}), duration);
  }
}

void FlashLoader::Queue(std::vector<std::uint8_t> answer, std::uint32_t durationMs) {
  busyUntilMs_ = std::max(busyUntilMs_, LoaderClockMs()) + durationMs;
  answers_.push_back(Pending{busyUntilMs_, std::move(answer)});
}

bool FlashLoader::TakeAnswer(std::vector<std::uint8_t>* answer, std::uint64_t deadlineMs,
                             std::uint64_t* readyMs) {
  if (answers_.empty() || answers_.front().readyMs > deadlineMs) {
    return false;
  }
  *readyMs = answers_.front().readyMs;
  *answer = std::move(answers_.front().bytes);
  answers_.pop_front();
  return true;
}

BlStatus FlashLoader::Execute(const nxp::BlCommand& command, Result* result) {
  const std::uint32_t* p = command.parameters;
  const auto needs = [&command](std::uint8_t count) { return command.parameterCount >= count; };
  switch (command.tag) {
    case nxp::tag::kFillMemory:
      return needs(3) ? FillMemory(p[0], p[1], p[2]) : BlStatus::kInvalidArgument;
    case nxp::tag::kConfigureMemory:
      return needs(2) ? ConfigureMemory(p[0], p[1]) : BlStatus::kInvalidArgument;
    case nxp::tag::kFlashEraseRegion:
      return needs(2) ? EraseRegion(p[0], p[1], needs(3) ? p[2] : kMemoryIdMapped)
                      : BlStatus::kInvalidArgument;
    case nxp::tag::kWriteMemory:
      return needs(2) ? WriteMemory(command) : BlStatus::kInvalidArgument;
    case nxp::tag::kGetProperty:
      if (!needs(1)) {
        return BlStatus::kInvalidArgument;
      }
      return p[0] == kPropertyCurrentVersion || p[0] == kPropertyMaxPacketSize
                 ? BlStatus::kSuccess
                 : BlStatus::kUnknownProperty;
    case nxp::tag::kSetProperty:
      if (!needs(2)) {
        return BlStatus::kInvalidArgument;
      }
      properties_[p[0]] = p[1];
      if (p[0] == kSessionEndProperty) {
        *result = Result::kRestart;
      }
      return BlStatus::kSuccess;
    case nxp::tag::kReset:
      *result = Result::kRestart;
      return BlStatus::kSuccess;
    default:
      return BlStatus::kUnknownCommand;
  }
}

BlStatus FlashLoader::FillMemory(std::uint32_t address, std::uint32_t count,
                                 std::uint32_t pattern) {
  if (!InRt1060Ram(address, count)) {
    return BlStatus::kMemoryRangeInvalid;
  }
  // One write of the whole range: a fill may cover a whole RAM bank (up to 1 MiB).
  std::vector<std::uint8_t> bytes(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<std::uint8_t>((pattern >> (8 * (i % 4))) & 0xFF);
  }
  ram_.Write(address, bytes.data(), bytes.size());
  return BlStatus::kSuccess;
}

BlStatus FlashLoader::ConfigureMemory(std::uint32_t memoryId, std::uint32_t address) {
  if (memoryId != kMemoryIdFlexSpiNor || !InRt1060Ram(address, 4)) {
    return BlStatus::kInvalidArgument;
  }
  const std::uint32_t option = ram_.ReadLe32(address);
  if (option == kProgramFcbOption) {
    if (!configured_) {
      return BlStatus::kMemoryNotConfigured;
    }
    if (!flash_.All(kFlexSpiBase, kFcbSize, kErased)) {
      return BlStatus::kFlashNotErased;
    }
    std::vector<std::uint8_t> fcb(kFcbSize, 0);
    for (int i = 0; i < 4; ++i) {
      fcb[i] = static_cast<std::uint8_t>((kFcbTag >> (8 * i)) & 0xFF);
    }
    flash_.Write(kFlexSpiBase, fcb.data(), fcb.size());
    fcbWritten_ = true;
    return BlStatus::kSuccess;
  }
  if ((option >> 28) == kNorOptionTag) {
    configured_ = true;
    return BlStatus::kSuccess;
  }
  return BlStatus::kInvalidArgument;
}

BlStatus FlashLoader::EraseRegion(std::uint32_t address, std::uint32_t count,
                                  std::uint32_t memoryId) {
  if (!FlashMemoryId(memoryId)) {
    return BlStatus::kInvalidArgument;
  }
  if (!configured_) {
    return BlStatus::kMemoryNotConfigured;
  }
  if (!InFlash(address, count)) {
    return BlStatus::kMemoryRangeInvalid;
  }
  const std::uint64_t first = address - address % kFlashSectorSize;
  std::uint64_t end = static_cast<std::uint64_t>(address) + count;
  end = (end + kFlashSectorSize - 1) / kFlashSectorSize * kFlashSectorSize;
  flash_.Fill(static_cast<std::uint32_t>(first), static_cast<std::size_t>(end - first), kErased);
  if (first <= kFlashImageAddress && kFlashImageAddress < end) {
    imageWhole_ = false;
  }
  return BlStatus::kSuccess;
}

BlStatus FlashLoader::WriteMemory(const nxp::BlCommand& command) {
  const std::uint32_t address = command.parameters[0];
  const std::uint32_t count = command.parameters[1];
  const std::uint32_t memoryId = command.parameterCount >= 3 ? command.parameters[2] : 0;
  if ((command.flags & nxp::kFlagHasDataPhase) == 0 || !FlashMemoryId(memoryId)) {
    return BlStatus::kInvalidArgument;
  }
  const bool toFlash = InFlash(address, count);
  if (!toFlash && !InRt1060Ram(address, count)) {
    return BlStatus::kMemoryRangeInvalid;
  }
  if (toFlash && !configured_) {
    return BlStatus::kMemoryNotConfigured;
  }
  if (count == 0) {
    return BlStatus::kSuccess;
  }
  dataPhase_ = true;
  // A write that starts the boot image leaves it unbootable until its last byte has arrived.
  writeIsImage_ = toFlash && address == kFlashImageAddress;
  if (writeIsImage_) {
    imageWhole_ = false;
  }
  writeRecord_ = commands_.size() - 1;
  writeAddress_ = address;
  writeLeft_ = count;
  writeToFlash_ = toFlash;
  return BlStatus::kPending;
}

void FlashLoader::OnData(const std::uint8_t* data, std::size_t length) {
  if (!dataPhase_) {
    BlCommandRecord record;
    record.status = BlStatus::kUnexpectedData;
    commands_.push_back(record);
    return;
  }
  const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::size_t>(length, writeLeft_));
  if (writeToFlash_ && !flash_.All(writeAddress_, take, kErased)) {
    EndDataPhase(BlStatus::kFlashNotErased);
    return;
  }
  (writeToFlash_ ? flash_ : ram_).Write(writeAddress_, data, take);
  writeAddress_ += take;
  writeLeft_ -= take;
  dataBytes_ += take;
  if (writeLeft_ == 0) {
    EndDataPhase(BlStatus::kSuccess);
  }
}

void FlashLoader::EndDataPhase(BlStatus status) {
  dataPhase_ = false;
  // The data phase's outcome is WriteMemory's second answer; one broken off by a command has none.
  if (status != BlStatus::kDataPhaseAborted) {
    Queue(
        nxp::BuildBlResponse(nxp::response::kGeneric, {StatusWord(status), nxp::tag::kWriteMemory}),
        0);
  }
  if (writeIsImage_ && status == BlStatus::kSuccess) {
    imageWhole_ = true;
  }
  writeIsImage_ = false;
  if (writeRecord_ < commands_.size()) {
    commands_[writeRecord_].status = status;
  }
}

void FlashLoader::Restart() {
  ram_.Clear();
  configured_ = false;
  fcbWritten_ = false;
  properties_.clear();
  commands_.clear();
  dataPhase_ = false;
  writeRecord_ = 0;
  writeAddress_ = 0;
  writeLeft_ = 0;
  writeToFlash_ = false;
  dataPackets_ = 0;
  dataBytes_ = 0;
  writeIsImage_ = false;
  answers_.clear();
  busyUntilMs_ = 0;
  dataSeen_ = false;
}

std::vector<std::uint8_t> FlashLoader::Ram(std::uint32_t address, std::size_t length) const {
  return ram_.Read(address, length);
}

}  // namespace veltra::sim

#include "sim/dfu_engine.h"

#include <algorithm>

#include "platform/ports.h"
#include "sim/bus.h"
#include "sim/virtual_device.h"

namespace veltra::sim {

namespace {

constexpr std::uint8_t kTypeMask = 0x7F;
constexpr std::uint8_t kVendorToDevice = 0x40;
constexpr std::uint8_t kDirectionIn = 0x80;
constexpr std::uint32_t kStatusLength = 6;
constexpr std::uint32_t kMaxBlock = 1024;
constexpr std::uint32_t kPacketSize = 64;
constexpr std::uint8_t kTerminatorByte = 0xFF;
constexpr std::uint8_t kStatusOk = 0x00;
constexpr std::uint8_t kStatusErrUnknown = 0x0E;
constexpr std::uint8_t kVerifyPassed = 0x01;
constexpr std::uint8_t kPollTimeoutMs = 10;

bool HasClock() {
  return ports().system != nullptr;
}

std::uint64_t ProgramClockMs() {
  return HasClock() ? Sys().NowMs() : 0;
}

void FillStatus(std::uint8_t status, std::uint8_t state, std::uint16_t wLength, std::uint8_t* data,
                std::uint32_t* transferred) {
  const std::uint8_t record[kStatusLength] = {status, kPollTimeoutMs, 0, 0, state, 0};
  const std::uint32_t n = std::min<std::uint32_t>(wLength, kStatusLength);
  if (data != nullptr) {
    std::copy(record, record + n, data);
  }
  *transferred = data != nullptr ? n : 0;
}

// A short image block of 64k + 1 bytes ending in 0xFF carries the host's terminator byte.
bool CarriesTerminator(const std::uint8_t* data, std::uint32_t length) {
  return length > kPacketSize && length < kMaxBlock && length % kPacketSize == 1 &&
         data[length - 1] == kTerminatorByte;
}

}  // namespace

DfuEngine::DfuEngine(VirtualDevice& owner) : DfuEngine(owner, Config{}) {}

DfuEngine::DfuEngine(VirtualDevice& owner, Config config)
    : owner_(owner), config_(config), state_(config.initialState) {}

bool DfuEngine::OnControl(const SetupPacket& setup, std::uint8_t* data,
                          std::uint32_t* transferred) {
  std::uint32_t ignored = 0;
  if (transferred == nullptr) {
    transferred = &ignored;
  }
  *transferred = 0;

  SetupPacket effective = setup;
  bool shortIn = false;
  switch (owner_.NextTransferFault()) {
    case FaultKind::kTransferError:
    case FaultKind::kTimeout:  // handed over as a failure; the transport charges the time
      return false;
    case FaultKind::kDisconnect:
      if (owner_.bus() != nullptr) {
        owner_.bus()->Leave(&owner_);
      }
      return false;
    case FaultKind::kErrorState: {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(setup);
      return Stall();
    }
    case FaultKind::kStuckState: {
      std::lock_guard<std::mutex> lock(mutex_);
      stuck_ = true;
      break;
    }
    case FaultKind::kShortTransfer:
      // One byte fewer than asked moves in either direction; a request without data stage has
      // nothing to cut.
      if ((setup.bmRequestType & kDirectionIn) != 0) {
        shortIn = true;
      } else if (effective.wLength > 0) {
        --effective.wLength;
      }
      break;
    case FaultKind::kNone:
      break;
  }

  After after = After::kNothing;
  bool ok;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(setup);
    ok = Handle(effective, data, transferred, &after);
  }
  if (ok && shortIn && *transferred > 0) {
    --*transferred;
  }

  Hook hook;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (after == After::kManifest) {
      hook = manifestHook_;
    }
    if (after == After::kReset) {
      hook = resetHook_;
    }
  }
  if (hook) {
    hook();  // may re-enumerate the owner: no lock is held here
  }
  return ok;
}

bool DfuEngine::Stall() {
  state_ = dfu_state::kError;
  busyLeft_ = 0;
  return false;
}

bool DfuEngine::AcceptsData(std::uint8_t state) {
  return state == dfu_state::kIdle || state == dfu_state::kDnloadIdle ||
         state == dfu_state::kMcuVerified || state == dfu_state::kFpgaVerified;
}

// The fields a strict device expects: in requests read the 6-byte record with wValue and wIndex
// 0; out requests carry wValue 1 and wIndex 0 (the reset wIndex 4); only the data requests have
// a data stage, of at most one block.
bool ExpectedFields(const SetupPacket& setup) {
  using namespace dfu_request;
  if ((setup.bmRequestType & kDirectionIn) != 0) {
    return setup.wValue == 0 && setup.wIndex == 0 && setup.wLength == kStatusLength;
  }
  const std::uint16_t index = setup.bRequest == kReset ? kResetIndex : 0;
  if (setup.wValue != 1 || setup.wIndex != index) {
    return false;
  }
  switch (setup.bRequest) {
    case kDownload:  // with no data it is the zero-length end
    case kMcuData:
    case kFpgaData:
      return setup.wLength <= kMaxBlock;
    default:
      return setup.wLength == 0;
  }
}

bool DfuEngine::Handle(const SetupPacket& setup, std::uint8_t* data, std::uint32_t* transferred,
                       After* after) {
  if ((setup.bmRequestType & kTypeMask) != kVendorToDevice) {
    return Stall();
  }
  if (owner_.strictness().setupFields && !ExpectedFields(setup)) {
    return Stall();
  }
  const bool in = (setup.bmRequestType & kDirectionIn) != 0;
  using namespace dfu_request;
  using namespace dfu_state;

  if (in) {
    switch (setup.bRequest) {
      case kGetStatus:
        return OnStatusRead(setup, data, transferred, after);
      case kMcuVerifyStatus:
        return OnVerifyRead(kMcuVerified, setup, data, transferred);
      case kFpgaVerifyStatus:
        return OnVerifyRead(kFpgaVerified, setup, data, transferred);
      default:
        return Stall();
    }
  }

  switch (setup.bRequest) {
    case kDownload:
      if (setup.wLength > 0) {
        return OnData(setup, data, transferred);
      }
      return OnZeroLength(after);
    case kMcuData:
    case kFpgaData:
      return OnData(setup, data, transferred);
    case kErase:
      if (!AcceptsData(state_)) {
        return Stall();
      }
      flash_.image.clear();
      flash_.imageSections.assign(1, {});
      ++flash_.eraseCount;
      eraseEndsMs_ = ProgramClockMs() + config_.eraseMs;
      eraseRequestMs_ = ProgramClockMs();
      eraseRequested_ = true;
      return true;
    case kMcuVerify:
      if (state_ != kDnloadIdle || !mcuSinceManifest_) {
        return Stall();
      }
      state_ = kMcuVerified;
      mcuVerifyMs_ = ProgramClockMs();
      return true;
    case kFpgaVerify:
      if (state_ != kIdle && state_ != kDnloadIdle) {
        return Stall();
      }
      state_ = kFpgaVerified;
      return true;
    case kDetach:
      // The model completes the detach at once instead of waiting for a bus reset.
      if (state_ != kAppIdle) {
        return Stall();
      }
      state_ = kIdle;
      return true;
    case kClearStatus:
      if (state_ != kError) {
        return Stall();
      }
      state_ = kIdle;
      return true;
    case kAbort:
      if (state_ == kIdle || state_ == kDnloadSync || state_ == kDnloadIdle ||
          state_ == kManifestSync || state_ == kUploadIdle || state_ == kMcuVerified ||
          state_ == kFpgaVerified) {
        state_ = kIdle;
        busyLeft_ = 0;
        return true;
      }
      return Stall();
    case kReset:
      if (setup.wValue != 1 || setup.wIndex != kResetIndex || setup.wLength != 0) {
        return Stall();
      }
      state_ = config_.initialState;
      busyLeft_ = 0;
      *after = After::kReset;
      return true;
    default:
      return Stall();
  }
}

bool DfuEngine::TooSoon(std::uint32_t gapMs, bool noted, std::uint64_t sinceMs) {
  return gapMs > 0 && noted && HasClock() && ProgramClockMs() < sinceMs + gapMs;
}

bool DfuEngine::OnZeroLength(After* after) {
  using namespace dfu_state;
  // The zero-length end closes a download that received data.
  if ((state_ != kDnloadIdle && state_ != kMcuVerified && state_ != kFpgaVerified) ||
      !dataSinceManifest_) {
    return Stall();
  }
  state_ = kManifestSync;
  switch (config_.downloadEnd) {
    case DownloadEnd::kAnswerThenRestart:
      return true;
    case DownloadEnd::kRestartAtOnce:
    case DownloadEnd::kRestartIntoUpdateMode:
      CompleteManifest(after);
      return true;
    case DownloadEnd::kRestartDuringZeroLength:
      // The camera is gone before the request's status stage: the host sees it fail.
      CompleteManifest(after);
      return false;
    case DownloadEnd::kErrorState:
      state_ = kError;  // the status read answers it; the camera does not boot
      return true;
  }
  return true;
}

void DfuEngine::CompleteManifest(After* after) {
  state_ = dfu_state::kIdle;
  if (dataSinceManifest_) {
    ++flash_.manifestCount;
    flash_.imageSections.emplace_back();
    dataSinceManifest_ = false;
    mcuSinceManifest_ = false;
    mcuChunkTaken_ = false;
    mcuChunkLost_ = false;
    eraseRequested_ = false;
    *after = After::kManifest;
  }
}

bool DfuEngine::OnData(const SetupPacket& setup, const std::uint8_t* data,
                       std::uint32_t* transferred) {
  const std::uint32_t length = setup.wLength;
  if (!AcceptsData(state_) || data == nullptr || length > kMaxBlock) {
    return Stall();
  }
  // Taken too soon, a block is taken off the bus and dropped: the MCU is still writing the last
  // chunk, or the flash is still starting its erase.
  const bool lost = setup.bRequest == dfu_request::kMcuData
                        ? TooSoon(config_.pacing.mcuChunkGapMs, mcuChunkTaken_, lastMcuChunkMs_)
                        : setup.bRequest == dfu_request::kDownload &&
                              TooSoon(config_.pacing.eraseGapMs, eraseRequested_, eraseRequestMs_);
  switch (setup.bRequest) {
    case dfu_request::kMcuData:
      if (lost) {
        mcuChunkLost_ = true;
        break;
      }
      flash_.mcu.insert(flash_.mcu.end(), data, data + length);
      mcuSinceManifest_ = true;
      lastMcuChunkMs_ = ProgramClockMs();
      mcuChunkTaken_ = true;
      break;
    case dfu_request::kFpgaData:
      flash_.fpga.insert(flash_.fpga.end(), data, data + length);
      break;
    default: {
      if (lost) {
        break;
      }
      std::uint32_t keep = length;
      if (CarriesTerminator(data, length)) {
        --keep;
        ++flash_.terminatorBytesDropped;
      }
      flash_.image.insert(flash_.image.end(), data, data + keep);
      flash_.imageSections.back().insert(flash_.imageSections.back().end(), data, data + keep);
      break;
    }
  }
  flash_.lostBlocks += lost ? 1 : 0;
  blocks_.push_back(DfuBlock{setup.bRequest, length});
  dataSinceManifest_ = true;
  state_ = dfu_state::kDnBusy;
  busyLeft_ = config_.busyPolls;
  *transferred = length;
  return true;
}

bool DfuEngine::OnStatusRead(const SetupPacket& setup, std::uint8_t* data,
                             std::uint32_t* transferred, After* after) {
  using namespace dfu_state;
  // Stalled: the camera is not ready for the next read yet, or its MCU is still writing the
  // chunk it was just given and answers nothing meanwhile.
  if (TooSoon(config_.pacing.statusGapMs, statusAnswered_, lastStatusMs_) ||
      TooSoon(config_.pacing.mcuChunkGapMs, mcuChunkTaken_, lastMcuChunkMs_)) {
    return false;
  }
  lastStatusMs_ = ProgramClockMs();
  statusAnswered_ = true;
  std::uint8_t reported = state_;
  if (ProgramClockMs() < eraseEndsMs_) {
    reported = kDnBusy;  // still erasing; a block sent meanwhile waits in the buffer
  } else if (state_ == kDnBusy) {
    if (stuck_) {
      reported = kDnBusy;
    } else if (busyLeft_ > 0) {
      --busyLeft_;
    } else {
      state_ = reported = kDnloadIdle;
    }
  } else if (state_ == kManifestSync) {
    // The manifest completes with this read; the device is idle again afterwards.
    CompleteManifest(after);
  }
  FillStatus(reported == kError ? kStatusErrUnknown : kStatusOk, reported, setup.wLength, data,
             transferred);
  return true;
}

bool DfuEngine::OnVerifyRead(std::uint8_t verifiedState, const SetupPacket& setup,
                             std::uint8_t* data, std::uint32_t* transferred) {
  if (verifiedState == dfu_state::kMcuVerified && state_ == verifiedState) {
    if (TooSoon(config_.pacing.mcuVerifyMs, true, mcuVerifyMs_)) {
      FillStatus(kStatusOk, dfu_state::kDnBusy, setup.wLength, data, transferred);
      return true;  // still verifying
    }
    if (mcuChunkLost_) {
      FillStatus(0, state_, setup.wLength, data, transferred);
      return true;  // a chunk it dropped: the MCU region does not verify
    }
  }
  FillStatus(state_ == verifiedState ? kVerifyPassed : 0, state_, setup.wLength, data, transferred);
  return true;
}

void DfuEngine::SetManifestHook(Hook hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  manifestHook_ = std::move(hook);
}

void DfuEngine::SetResetHook(Hook hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  resetHook_ = std::move(hook);
}

void DfuEngine::SetState(std::uint8_t state) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = state;
  busyLeft_ = 0;
}

void DfuEngine::SetBusyPolls(int polls) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.busyPolls = std::max(0, polls);
}

void DfuEngine::SetDownloadEnd(DownloadEnd end) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.downloadEnd = end;
}

bool DfuEngine::BootsImage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.downloadEnd != DownloadEnd::kRestartIntoUpdateMode;
}

void DfuEngine::SetPacing(const Pacing& pacing) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.pacing = pacing;
}

void DfuEngine::SetEraseMs(std::uint32_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.eraseMs = ms;
}

std::uint32_t DfuEngine::EraseMs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.eraseMs;
}

void DfuEngine::Restart() {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = config_.initialState;
  busyLeft_ = 0;
  eraseEndsMs_ = 0;
  stuck_ = false;
  dataSinceManifest_ = false;
  mcuSinceManifest_ = false;
  statusAnswered_ = false;
  mcuChunkTaken_ = false;
  mcuChunkLost_ = false;
  eraseRequested_ = false;
}

void DfuEngine::ClearFlash() {
  std::lock_guard<std::mutex> lock(mutex_);
  flash_ = DfuFlash{};
  blocks_.clear();
  requests_.clear();
}

std::uint8_t DfuEngine::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

DfuFlash DfuEngine::Flash() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return flash_;
}

std::vector<DfuBlock> DfuEngine::Blocks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return blocks_;
}

std::vector<SetupPacket> DfuEngine::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

}  // namespace veltra::sim

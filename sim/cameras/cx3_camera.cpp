#include "sim/cameras/cx3_camera.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace veltra::sim {

namespace {

constexpr const wchar_t* kRomDescription = L"FX3 Boot Loader";
constexpr const wchar_t* kLoadedProgramDescription = L"DFU Device";
// Reply layout of the version queries.
constexpr std::size_t kReplyStatus = 1;
constexpr std::size_t kReplyVersion = 2;
constexpr std::size_t kReplyBuildDate = 4;
constexpr std::size_t kReplyIspDateText = 4;
constexpr std::size_t kReplyIspTimeText = 16;
constexpr std::size_t kMaxReplyText = 11;  // the date text must end before the time text

void PutText(std::uint8_t* reply, std::size_t offset, const std::string& text) {
  const std::size_t length = std::min(text.size(), kMaxReplyText);
  std::memcpy(reply + offset, text.data(), length);
  reply[offset + length] = 0;
}

}  // namespace

Cx3Camera::Cx3Camera() : Cx3Camera(Options{}) {}

Cx3Camera::Cx3Camera(Options options)
    : options_(std::move(options)),
      mode_(options_.startMode),
      flashValid_(options_.startMode == Mode::kCamera),
      version_(options_.version),
      resetFailuresLeft_(options_.resetFailures),
      engine_(*this, options_.engine) {
  SetSerial(options_.serial);
  engine_.SetManifestHook([this]() { OnManifest(); });
  engine_.SetResetHook([this]() { OnResetRequest(); });
  if (mode_ == Mode::kLoadedProgram) {
    session_.Begin(engine_);
  }
}

UsbId Cx3Camera::Id() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  switch (mode_) {
    case Mode::kCamera:
      return UsbId{kCypressVid, kCx3CameraPid};
    case Mode::kBootRom:
      return UsbId{kCypressVid, kFx3RomPid};
    case Mode::kLoadedProgram:
      break;
  }
  return UsbId{kMakerVid, kDfuPid};
}

std::wstring Cx3Camera::Description() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  switch (mode_) {
    case Mode::kCamera:
      return options_.name;
    case Mode::kBootRom:
      return kRomDescription;
    case Mode::kLoadedProgram:
      break;
  }
  return kLoadedProgramDescription;
}

std::wstring Cx3Camera::FriendlyName() const {
  return Description();
}

bool Cx3Camera::HasVideoInterface() const {
  return CurrentMode() == Mode::kCamera;
}

bool Cx3Camera::HasHidInterface() const {
  return CurrentMode() == Mode::kCamera;
}

DeviceMode Cx3Camera::BusMode() const {
  switch (CurrentMode()) {
    case Mode::kCamera:
      return DeviceMode::kNormal;
    case Mode::kBootRom:
      return DeviceMode::kBootRom;
    case Mode::kLoadedProgram:
      return DeviceMode::kUpdateMode;
  }
  return DeviceMode::kNormal;
}

Cx3Camera::Mode Cx3Camera::CurrentMode() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return mode_;
}

bool Cx3Camera::FlashHoldsFirmware() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return flashValid_;
}

FirmwareVersion Cx3Camera::Version() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return version_;
}

Fx3Rom Cx3Camera::Rom() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return rom_;
}

bool Cx3Camera::OpensExtensionUnit() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return mode_ == Mode::kCamera && options_.extensionUnit;
}

CameraFamily Cx3Camera::Family() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return mode_ == Mode::kCamera && !options_.extensionUnit ? CameraFamily::kPesca
                                                           : CameraFamily::kNone;
}

bool Cx3Camera::ReadVersion(FirmwareVersion* version) {
  if (version == nullptr || CurrentMode() != Mode::kCamera) {
    return false;
  }
  if (TakeFault() != FaultKind::kNone) {
    return false;
  }
  *version = Version();
  return true;
}

bool Cx3Camera::HasCommandChannel() const {
  return CurrentMode() == Mode::kCamera;
}

std::int32_t Cx3Camera::CommandChannelState(std::uint8_t* reply64) {
  if (reply64 == nullptr || CurrentMode() != Mode::kCamera) {
    return 1;
  }
  std::memset(reply64, 0, kHidReplySize);
  return 0;
}

// ---- boot modes ---------------------------------------------------------------------------------

bool Cx3Camera::OnControl(const SetupPacket& setup, std::uint8_t* data,
                          std::uint32_t* transferred) {
  if (CurrentMode() == Mode::kLoadedProgram) {
    return engine_.OnControl(setup, data, transferred);
  }
  return VirtualDevice::OnControl(setup, data, transferred);
}

bool Cx3Camera::OnCypressRequest(const SetupPacket& setup, const std::uint8_t* data) {
  if (CurrentMode() != Mode::kBootRom || TakeFault() != FaultKind::kNone) {
    return false;
  }
  Fx3Rom::Result result;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    result = rom_.OnRequest(setup, data);
  }
  if (result == Fx3Rom::Result::kStart) {
    Reenumerate([this]() {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      mode_ = Mode::kLoadedProgram;
      session_.Begin(engine_);
    });
  }
  return result != Fx3Rom::Result::kRefused;
}

void Cx3Camera::BootFromFlash() {
  // Called with the lock held, while the device is off the bus.
  replyReady_ = false;
  stuck_ = false;
  mode_ = flashValid_ ? Mode::kCamera : Mode::kBootRom;
  if (mode_ == Mode::kBootRom) {
    rom_.Restart();
  }
}

void Cx3Camera::PowerCycle() {
  CameraDevice::PowerCycle();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  engine_.Restart();
  BootFromFlash();
}

void Cx3Camera::OnManifest() {
  UpdateSession::Next next;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    next = session_.OnManifest(engine_);
  }
  Reenumerate([this, next]() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (next == UpdateSession::Next::kNextPass) {
      engine_.Restart();  // the loaded program stays for the second part
      return;
    }
    if (next == UpdateSession::Next::kBootNewFirmware) {
      flashValid_ = true;
      version_ = session_.ReceivedVersion(engine_);
    }
    BootFromFlash();
  });
}

void Cx3Camera::OnResetRequest() {
  // The loaded program lives in RAM: a reset always boots from the flash.
  Reenumerate([this]() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (session_.OnReset(engine_) == UpdateSession::Next::kBootNewFirmware) {
      flashValid_ = true;
      version_ = session_.ReceivedVersion(engine_);
    }
    BootFromFlash();
  });
}

// ---- the HID command channel --------------------------------------------------------------------

void Cx3Camera::BuildReply(std::uint8_t command, std::uint8_t status) {
  std::memset(reply_, 0, sizeof reply_);
  reply_[0] = command;
  reply_[kReplyStatus] = status;
  replyReady_ = true;
  busyReadsLeft_ = 0;
}

bool Cx3Camera::SendCommandReport(const std::uint8_t* report, std::size_t length) {
  if (report == nullptr || length == 0 || CurrentMode() != Mode::kCamera) {
    return false;
  }
  const FaultKind fault = TakeFault();
  if (fault == FaultKind::kTransferError || fault == FaultKind::kShortTransfer ||
      fault == FaultKind::kDisconnect) {
    return false;
  }
  bool reset = false;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (fault == FaultKind::kStuckState) {
      stuck_ = true;
    }
    const std::uint8_t command = report[0];
    const std::uint8_t sub = length >= 2 ? report[1] : 0;
    // A device in its error state answers every command as unknown.
    const bool healthy = fault != FaultKind::kErrorState;
    if (healthy && command == cx3::kFlashCommand && sub == cx3::kEraseFlash) {
      flashValid_ = false;
      BuildReply(command, cx3::kStatusDone);
      busyReadsLeft_ = options_.eraseBusyReads;
    } else if (healthy && command == cx3::kFlashCommand && sub == cx3::kResetCamera) {
      if (resetFailuresLeft_ > 0) {
        --resetFailuresLeft_;
        BuildReply(command, cx3::kStatusResetFailed);
      } else {
        reset = true;
      }
    } else if (healthy && command == cx3::kCx3VersionQuery) {
      BuildReply(command, cx3::kStatusDone);
      reply_[kReplyVersion] = version_.major;
      reply_[kReplyVersion + 1] = version_.minor;
      reply_[kReplyBuildDate] = options_.buildMonth;
      reply_[kReplyBuildDate + 1] = options_.buildDay;
      reply_[kReplyBuildDate + 2] = options_.buildYear;
      busyReadsLeft_ = options_.queryBusyReads;
    } else if (healthy && command == cx3::kIspVersionQuery) {
      BuildReply(command, cx3::kStatusDone);
      reply_[kReplyVersion] = options_.ispMajor;
      reply_[kReplyVersion + 1] = options_.ispMinor;
      PutText(reply_, kReplyIspDateText, options_.ispDate);
      PutText(reply_, kReplyIspTimeText, options_.ispTime);
      busyReadsLeft_ = options_.queryBusyReads;
    } else {
      BuildReply(command, cx3::kStatusUnknownCommand);
    }
  }
  if (reset) {
    Reenumerate([this]() {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      BootFromFlash();
    });
  }
  return true;
}

bool Cx3Camera::ReadCommandReply(std::uint8_t* reply64) {
  if (reply64 == nullptr || CurrentMode() != Mode::kCamera) {
    return false;
  }
  const FaultKind fault = TakeFault();
  if (fault != FaultKind::kNone && fault != FaultKind::kStuckState) {
    return false;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (fault == FaultKind::kStuckState) {
    stuck_ = true;
  }
  if (!replyReady_) {
    return false;
  }
  std::memcpy(reply64, reply_, kHidReplySize);
  if (stuck_ || busyReadsLeft_ > 0) {
    reply64[kReplyStatus] = cx3::kStatusBusy;
    if (!stuck_) {
      --busyReadsLeft_;
    }
  }
  return true;
}

}  // namespace veltra::sim

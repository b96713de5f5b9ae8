#include "sim/cameras/dfu_cameras.h"

#include <utility>

namespace veltra::sim {

namespace {

constexpr std::uint16_t kMakerVidValue = kMakerVid;
constexpr const wchar_t* kUpdateModeDescription = L"DFU Device";
// SetExtensionUnitValueForPesca: the control and value that start the update mode.
constexpr std::int32_t kPescaUpdateSelector = 5;
constexpr std::int32_t kPescaUpdateValue = 1;

}  // namespace

// ---- DfuModeCamera -----------------------------------------------------------------------------

DfuModeCamera::DfuModeCamera(Options options)
    : options_(std::move(options)),
      updateMode_(options_.startInUpdateMode),
      version_(options_.version),
      engine_(*this, options_.engine) {
  SetSerial(options_.serial);
  engine_.SetManifestHook([this]() { OnManifest(); });
  engine_.SetResetHook([this]() { OnResetRequest(); });
  if (updateMode_) {
    session_.Begin(engine_);
  }
}

DeviceMode DfuModeCamera::BusMode() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return updateMode_ ? DeviceMode::kUpdateMode : DeviceMode::kNormal;
}

UsbId DfuModeCamera::Id() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return UsbId{kMakerVidValue, updateMode_ ? options_.updatePid : options_.pid};
}

std::wstring DfuModeCamera::Description() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return updateMode_ ? kUpdateModeDescription : options_.name;
}

std::wstring DfuModeCamera::FriendlyName() const {
  return Description();
}

bool DfuModeCamera::HasVideoInterface() const {
  return !InUpdateMode();
}

bool DfuModeCamera::HasHidInterface() const {
  return !InUpdateMode();
}

bool DfuModeCamera::OnControl(const SetupPacket& setup, std::uint8_t* data,
                              std::uint32_t* transferred) {
  if (InUpdateMode()) {
    return engine_.OnControl(setup, data, transferred);
  }
  // The normal firmware's default pipe answers nothing the program sends there.
  return VirtualDevice::OnControl(setup, data, transferred);
}

bool DfuModeCamera::OpensExtensionUnit() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return options_.extensionUnit && !updateMode_;
}

bool DfuModeCamera::ReadVersion(FirmwareVersion* version) {
  if (version == nullptr || InUpdateMode() || !AcceptCommand()) {
    return false;
  }
  *version = Version();
  return true;
}

std::int32_t DfuModeCamera::ResetCamera() {
  if (InUpdateMode() || !AcceptCommand()) {
    return 0;
  }
  Reenumerate(nullptr);  // a reboot into the same firmware
  return 1;
}

void DfuModeCamera::PowerCycle() {
  CameraDevice::PowerCycle();
  engine_.Restart();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (updateMode_) {
    session_.Resume(engine_);
  }
}

bool DfuModeCamera::InUpdateMode() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return updateMode_;
}

FirmwareVersion DfuModeCamera::Version() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return version_;
}

int DfuModeCamera::UpdatesCompleted() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return updatesCompleted_;
}

bool DfuModeCamera::AcceptCommand() {
  return TakeFault() == FaultKind::kNone;
}

std::int32_t DfuModeCamera::SwitchToUpdateMode() {
  if (InUpdateMode()) {
    return 0;
  }
  Reenumerate([this]() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    updateMode_ = true;
    session_.Begin(engine_);
  });
  return 1;
}

void DfuModeCamera::OnManifest() {
  UpdateSession::Next next;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    next = session_.OnManifest(engine_);
  }
  Boot(next);
}

void DfuModeCamera::OnResetRequest() {
  UpdateSession::Next next;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    next = session_.OnReset(engine_);
  }
  Boot(next);
}

void DfuModeCamera::Boot(UpdateSession::Next next) {
  Reenumerate([this, next]() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    switch (next) {
      case UpdateSession::Next::kNextPass:
      case UpdateSession::Next::kStayInUpdateMode:
        engine_.Restart();
        return;
      case UpdateSession::Next::kBootNewFirmware:
        version_ = session_.ReceivedVersion(engine_);
        ++updatesCompleted_;
        break;
      case UpdateSession::Next::kBootOldFirmware:
        break;
    }
    updateMode_ = false;
  });
}

// ---- the families ------------------------------------------------------------------------------

GenericCamera::GenericCamera() : GenericCamera(Options{}) {}

GenericCamera::GenericCamera(Options options) : DfuModeCamera(std::move(options)) {}

std::int32_t GenericCamera::FirmwareUpdate(std::uint8_t imageType) {
  if (InUpdateMode() || !AcceptCommand()) {
    return 0;
  }
  std::int32_t result = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    lastImageType_ = imageType;
    result = updateResult_;
  }
  SwitchToUpdateMode();
  return result;
}

void GenericCamera::SetFirmwareUpdateResult(std::int32_t result) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  updateResult_ = result;
}

std::uint8_t GenericCamera::LastImageType() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return lastImageType_;
}

DfuModeCamera::Options PescaOptions() {
  DfuModeCamera::Options options;
  options.pid = kPescaPid;
  options.updatePid = kDfuPidPesca;
  options.name = L"Veltra_Pesca";
  options.extensionUnit = false;
  return options;
}

PescaCamera::PescaCamera() : PescaCamera(PescaOptions()) {}

PescaCamera::PescaCamera(Options options) : DfuModeCamera(std::move(options)) {}

CameraFamily PescaCamera::Family() const {
  return InUpdateMode() ? CameraFamily::kNone : CameraFamily::kPesca;
}

std::int32_t PescaCamera::SetPescaUpdateMode(std::int32_t selector, std::int32_t value) {
  if (InUpdateMode() || !AcceptCommand()) {
    return 0;
  }
  if (selector != kPescaUpdateSelector || value != kPescaUpdateValue) {
    return 0;
  }
  return SwitchToUpdateMode();
}

DfuModeCamera::Options TarsaOptions() {
  DfuModeCamera::Options options;
  options.pid = kTarsaPid;
  options.updatePid = kDfuPid;
  options.name = L"Veltra_Tarsa";
  options.extensionUnit = false;
  return options;
}

TarsaCamera::TarsaCamera() : TarsaCamera(TarsaOptions()) {}

TarsaCamera::TarsaCamera(Options options) : DfuModeCamera(std::move(options)) {}

CameraFamily TarsaCamera::Family() const {
  return InUpdateMode() ? CameraFamily::kNone : CameraFamily::kTarsa;
}

std::int32_t TarsaCamera::FallbackToUpdateMode() {
  if (InUpdateMode() || !AcceptCommand()) {
    return 0;
  }
  return SwitchToUpdateMode();
}

RestrictedCamera::RestrictedCamera()
    : GenericCamera([] {
        Options options;
        options.pid = kRestrictedPid;
        options.name = L"Veltra_Restricted";
        return options;
      }()) {}

}  // namespace veltra::sim

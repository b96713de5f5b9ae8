#include "sim/virtual_device.h"

namespace veltra::sim {

bool VirtualDevice::OnControl(const SetupPacket&, std::uint8_t*, std::uint32_t* transferred) {
  if (transferred != nullptr) *transferred = 0;
  return false;
}

bool VirtualDevice::OnCypressRequest(const SetupPacket&, const std::uint8_t*) {
  return false;
}

bool VirtualDevice::OnHidReport(const std::uint8_t*, std::size_t, int) {
  return false;
}

void VirtualDevice::SetSerial(const std::wstring& serial) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  serial_ = serial.substr(0, kMaxSerialChars);
}

std::wstring VirtualDevice::OwnSerial() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return serial_;
}

std::wstring VirtualDevice::Serial() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (BusMode() != DeviceMode::kUpdateMode) {
    return serial_;
  }
  switch (unknowns_.updateModeSerial) {
    case UpdateModeSerial::kCameraSerial:
      return serial_;
    case UpdateModeSerial::kNone:
      return L"";
    case UpdateModeSerial::kFamilySerial:
      return FamilySerial();
  }
  return serial_;
}

bool VirtualDevice::OnCompanionPort() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return unknowns_.companionPortInBootModes && BusMode() != DeviceMode::kNormal;
}

void VirtualDevice::SetUnknowns(const Unknowns& unknowns) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  unknowns_ = unknowns;
}

Unknowns VirtualDevice::unknowns() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return unknowns_;
}

void VirtualDevice::SetFault(const FaultPlan& plan) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  fault_ = plan;
  transfers_ = 0;
}

FaultKind VirtualDevice::NextTransferFault() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const int index = transfers_++;
  const FaultKind kind = index == fault_.atTransfer ? fault_.kind : FaultKind::kNone;
  timedOut_ = kind == FaultKind::kTimeout;
  return timedOut_ ? FaultKind::kTransferError : kind;
}

bool VirtualDevice::TakeTimedOut() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const bool timedOut = timedOut_;
  timedOut_ = false;
  return timedOut;
}

void VirtualDevice::SetStrictness(const Strictness& strictness) {
  strictSetupFields_ = strictness.setupFields;
  strictReportLengths_ = strictness.reportLengths;
  strictRecordFields_ = strictness.recordFields;
}

Strictness VirtualDevice::strictness() const {
  Strictness strictness;
  strictness.setupFields = strictSetupFields_.load();
  strictness.reportLengths = strictReportLengths_.load();
  strictness.recordFields = strictRecordFields_.load();
  return strictness;
}

int VirtualDevice::TransferCount() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return transfers_;
}

}  // namespace veltra::sim

#include "sim/sim_camera_library.h"

#include "core/text.h"
#include "platform/ports.h"
#include "sim/bus.h"

namespace veltra::sim {

namespace {

// The library's listing filters.
constexpr const wchar_t* kListedVendors[] = {L"7E51", L"04B4"};
constexpr const wchar_t* kRestrictedProducts[] = {L"C0FF"};

constexpr std::int32_t kPescaVersionSelector = 7;
constexpr std::uint8_t kResetCommand = 4;
constexpr std::int32_t kNoCommandChannel = 1;  // DevicestateCX3SNI without an open CX3 camera
constexpr std::int32_t kMaxCommandReport = 64;

std::string Text(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != L'\0'; ++text) {
    out += (*text >= 0x20 && *text < 0x7F) ? static_cast<char>(*text) : '?';
  }
  return out;
}

CameraDevice* AsCamera(const std::shared_ptr<VirtualDevice>& device) {
  return dynamic_cast<CameraDevice*>(device.get());
}

std::shared_ptr<CameraDevice> CameraOf(const std::shared_ptr<VirtualDevice>& device) {
  return std::dynamic_pointer_cast<CameraDevice>(device);
}

// The four version bytes of the Pesca and Tarsa calls.
void VersionBytes(const FirmwareVersion& v, std::uint8_t* out) {
  out[0] = v.major;
  out[1] = v.minor;
  out[2] = static_cast<std::uint8_t>(v.build & 0xFF);
  out[3] = static_cast<std::uint8_t>(v.revision & 0xFF);
}

bool OneOf(const wchar_t* text, const wchar_t* const* list, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (text != nullptr && TextEqualsNoCase(text, list[i])) {
      return true;
    }
  }
  return false;
}

}  // namespace

SimCameraLibrary::SimCameraLibrary(Bus& bus, TrafficLog* log) : bus_(bus), log_(log) {}

void SimCameraLibrary::SetHidWriteTimeoutMs(std::uint32_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  hidWriteTimeoutMs_ = ms;
}

void SimCameraLibrary::ChargeHidTimeout(VirtualDevice* device) {
  if (device == nullptr || !device->TakeTimedOut() || ports().system == nullptr) {
    return;
  }
  std::uint32_t ms = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ms = hidWriteTimeoutMs_;
  }
  Sys().Sleep(ms);
}

void SimCameraLibrary::SetLog(TrafficLog* log) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_ = log;
}

// ---- helpers ----------------------------------------------------------------------------------

std::shared_ptr<VirtualDevice> SimCameraLibrary::Find(const wchar_t* path) const {
  if (path == nullptr) {
    return nullptr;
  }
  VirtualDevice* const found = bus_.FindByPath(path);
  if (found == nullptr) {
    return nullptr;
  }
  for (const auto& device : bus_.Present()) {
    if (device.get() == found) {
      return device;
    }
  }
  return nullptr;
}

SimCameraLibrary::Held SimCameraLibrary::Hold(const std::shared_ptr<VirtualDevice>& device) const {
  Held held;
  if (!device) {
    return held;
  }
  held.device = device;
  held.enumeration = bus_.Enumeration(device.get());
  held.id = device->Id();
  return held;
}

std::shared_ptr<VirtualDevice> SimCameraLibrary::Live(const Held& held) const {
  std::shared_ptr<VirtualDevice> device = held.device.lock();
  if (!device || !bus_.IsPresent(device.get())) {
    return nullptr;
  }
  const UsbId id = device->Id();
  if (id.vid != held.id.vid || id.pid != held.id.pid) {
    return nullptr;
  }
  if (bus_.Enumeration(device.get()) != held.enumeration) {
    return nullptr;
  }
  return device;
}

std::shared_ptr<VirtualDevice> SimCameraLibrary::OpenCamera() const {
  Held held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held = open_;
  }
  return Live(held);
}

std::shared_ptr<VirtualDevice> SimCameraLibrary::OpenHidDevice() const {
  Held held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held = hid_;
  }
  return Live(held);
}

std::shared_ptr<CameraDevice> SimCameraLibrary::OpenCameraDevice() const {
  return CameraOf(OpenCamera());
}

std::shared_ptr<CameraDevice> SimCameraLibrary::FamilyCamera(CameraFamily family) const {
  std::shared_ptr<CameraDevice> open = OpenCameraDevice();
  if (open && open->Family() == family) {
    return open;
  }
  for (const auto& device : bus_.Present()) {
    std::shared_ptr<CameraDevice> camera = CameraOf(device);
    if (camera && camera->Family() == family) {
      return camera;
    }
  }
  return nullptr;
}

std::shared_ptr<CameraDevice> SimCameraLibrary::CommandChannelCamera() const {
  std::shared_ptr<CameraDevice> open = OpenCameraDevice();
  if (open && open->HasCommandChannel()) {
    return open;
  }
  for (const auto& device : bus_.Present()) {
    std::shared_ptr<CameraDevice> camera = CameraOf(device);
    if (camera && camera->HasCommandChannel()) {
      return camera;
    }
  }
  return nullptr;
}

void SimCameraLibrary::SetOpen(const std::shared_ptr<VirtualDevice>& device) {
  const Held held = Hold(device);
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = held;
}

std::vector<std::string> SimCameraLibrary::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::string SimCameraLibrary::NameOf(const std::shared_ptr<VirtualDevice>& device) {
  return device ? DeviceName(device->Id()) : std::string();
}

void SimCameraLibrary::Log(const std::string& dev, const char* call,
                           const std::vector<LogArg>& args, std::int32_t result) {
  TrafficLog* log = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.emplace_back(call);
    log = log_;
  }
  if (log != nullptr) {
    log->LogLibrary(dev, call, args, result);
  }
}

std::int32_t SimCameraLibrary::FamilyTest(const char* call, const wchar_t* path,
                                          CameraFamily family) {
  const std::shared_ptr<VirtualDevice> device = Find(path);
  const CameraDevice* camera = AsCamera(device);
  const std::int32_t result = camera != nullptr && camera->Family() == family ? 1 : 0;
  Log(NameOf(device), call, {Text(path)}, result);
  return result;
}

std::int32_t SimCameraLibrary::FamilyInit(const char* call, const wchar_t* path,
                                          CameraFamily family) {
  const std::shared_ptr<VirtualDevice> device = Find(path);
  const CameraDevice* camera = AsCamera(device);
  const std::int32_t result = camera != nullptr && camera->Family() == family ? 1 : 0;
  SetOpen(result != 0 ? device : nullptr);
  Log(NameOf(device), call, {Text(path)}, result);
  return result;
}

// ---- extension unit and families ---------------------------------------------------------------

std::int32_t SimCameraLibrary::InitExtensionUnit(const wchar_t* path) {
  const std::shared_ptr<VirtualDevice> device = Find(path);
  const CameraDevice* camera = AsCamera(device);
  const std::int32_t result = camera != nullptr && camera->OpensExtensionUnit() ? 1 : 0;
  SetOpen(result != 0 ? device : nullptr);
  Log(NameOf(device), "InitExtensionUnit", {Text(path)}, result);
  return result;
}

std::int32_t SimCameraLibrary::DeinitExtensionUnit() {
  const std::string dev = NameOf(OpenCamera());
  SetOpen(nullptr);
  Log(dev, "DeinitExtensionUnit", {}, 1);
  return 1;
}

std::int32_t SimCameraLibrary::IsPescaDeviceAvail(const wchar_t* path) {
  return FamilyTest("IsPescaDeviceAvail", path, CameraFamily::kPesca);
}

std::int32_t SimCameraLibrary::IsTarsaDeviceAvail(const wchar_t* path) {
  return FamilyTest("IsTarsaDeviceAvail", path, CameraFamily::kTarsa);
}

std::int32_t SimCameraLibrary::IsMirel_DeviceAvail(const wchar_t* path) {
  return FamilyTest("IsMirel_DeviceAvail", path, CameraFamily::kMirel);
}

std::int32_t SimCameraLibrary::DeinitExtUnit() {
  const std::string dev = NameOf(OpenCamera());
  SetOpen(nullptr);
  Log(dev, "DeinitExtUnit", {}, 1);
  return 1;
}

std::int32_t SimCameraLibrary::InitPescaExtensionUnit(const wchar_t* path) {
  return FamilyInit("InitPescaExtensionUnit", path, CameraFamily::kPesca);
}

std::int32_t SimCameraLibrary::InitTarsaExtensionUnit(const wchar_t* path) {
  return FamilyInit("InitTarsaExtensionUnit", path, CameraFamily::kTarsa);
}

std::int32_t SimCameraLibrary::InitMirelExtensionUnit(const wchar_t* path) {
  return FamilyInit("InitMirelExtensionUnit", path, CameraFamily::kMirel);
}

// ---- mode switches -----------------------------------------------------------------------------

std::int32_t SimCameraLibrary::SetExtensionUnitValueForPesca(std::int32_t selector,
                                                             std::int32_t value) {
  const std::shared_ptr<CameraDevice> camera = OpenCameraDevice();
  const std::string dev = NameOf(camera);
  std::int32_t result = 0;
  if (camera && camera->Family() == CameraFamily::kPesca) {
    result = camera->SetPescaUpdateMode(selector, value);
  }
  Log(dev, "SetExtensionUnitValueForPesca", {selector, value}, result);
  return result;
}

std::int32_t SimCameraLibrary::FallbacktoFWTarsa() {
  const std::shared_ptr<CameraDevice> camera = OpenCameraDevice();
  const std::string dev = NameOf(camera);
  std::int32_t result = 0;
  if (camera && camera->Family() == CameraFamily::kTarsa) {
    result = camera->FallbackToUpdateMode();
  }
  Log(dev, "FallbacktoFWTarsa", {}, result);
  return result;
}

std::int32_t SimCameraLibrary::FirmwareUpdate(std::uint8_t imageType) {
  const std::shared_ptr<CameraDevice> camera = OpenCameraDevice();
  const std::string dev = NameOf(camera);
  std::int32_t result = 0;
  if (camera && camera->OpensExtensionUnit()) {
    result = camera->FirmwareUpdate(imageType);
  }
  Log(dev, "FirmwareUpdate", {imageType}, result);
  return result;
}

// ---- versions and resets -----------------------------------------------------------------------

std::int32_t SimCameraLibrary::GetPescaFirmwareVersion(std::int32_t selector,
                                                       std::uint8_t* buffer4) {
  const std::shared_ptr<CameraDevice> camera = FamilyCamera(CameraFamily::kPesca);
  const std::string dev = NameOf(camera);
  FirmwareVersion version;
  std::int32_t result = 0;
  if (camera && buffer4 != nullptr && selector == kPescaVersionSelector &&
      camera->ReadVersion(&version)) {
    VersionBytes(version, buffer4);
    result = 1;
  }
  Log(dev, "GetPescaFirmwareVersion", {selector}, result);
  return result;
}

std::int32_t SimCameraLibrary::GetTarsaFirmwareVersion(std::uint8_t* buffer4) {
  const std::shared_ptr<CameraDevice> camera = FamilyCamera(CameraFamily::kTarsa);
  const std::string dev = NameOf(camera);
  FirmwareVersion version;
  std::int32_t result = 0;
  if (camera && buffer4 != nullptr && camera->ReadVersion(&version)) {
    VersionBytes(version, buffer4);
    result = 1;
  }
  Log(dev, "GetTarsaFirmwareVersion", {}, result);
  return result;
}

std::int32_t SimCameraLibrary::GetFirmwareVersionMirel(std::uint8_t* major, std::uint8_t* minor,
                                                       std::uint16_t* build) {
  const std::shared_ptr<CameraDevice> camera = FamilyCamera(CameraFamily::kMirel);
  const std::string dev = NameOf(camera);
  FirmwareVersion version;
  std::int32_t result = 0;
  if (camera && major != nullptr && minor != nullptr && build != nullptr &&
      camera->ReadVersion(&version)) {
    *major = version.major;
    *minor = version.minor;
    *build = version.build;
    result = 1;
  }
  Log(dev, "GetFirmwareVersionMirel", {}, result);
  return result;
}

std::int32_t SimCameraLibrary::ReadFirmwareVersion(std::uint8_t* v1, std::uint8_t* v2,
                                                   std::uint16_t* v3, std::uint16_t* v4) {
  const std::shared_ptr<CameraDevice> camera = OpenCameraDevice();
  const std::string dev = NameOf(camera);
  FirmwareVersion version;
  std::int32_t result = 0;
  if (camera && camera->OpensExtensionUnit() && v1 != nullptr && v2 != nullptr && v3 != nullptr &&
      v4 != nullptr && camera->ReadVersion(&version)) {
    *v1 = version.major;
    *v2 = version.minor;
    *v3 = version.build;
    *v4 = version.revision;
    result = 1;
  }
  Log(dev, "ReadFirmwareVersion", {}, result);
  return result;
}

std::int32_t SimCameraLibrary::ResetTarsa() {
  const std::shared_ptr<CameraDevice> camera = FamilyCamera(CameraFamily::kTarsa);
  const std::string dev = NameOf(camera);
  const std::int32_t result = camera ? camera->ResetCamera() : 0;
  Log(dev, "ResetTarsa", {}, result);
  return result;
}

std::int32_t SimCameraLibrary::ResetDeviceMirel() {
  const std::shared_ptr<CameraDevice> camera = FamilyCamera(CameraFamily::kMirel);
  const std::string dev = NameOf(camera);
  const std::int32_t result = camera ? camera->ResetCamera() : 0;
  Log(dev, "ResetDeviceMirel", {}, result);
  return result;
}

std::int32_t SimCameraLibrary::SendHIDCommandWithFirstByte(std::uint8_t command) {
  const std::shared_ptr<CameraDevice> camera = OpenCameraDevice();
  const std::string dev = NameOf(camera);
  std::int32_t result = 0;
  if (camera && command == kResetCommand && camera->OpensExtensionUnit()) {
    result = camera->ResetCamera();
  }
  Log(dev, "SendHIDCommandWithFirstByte", {command}, result);
  return result;
}

// ---- the CX3 command channel -------------------------------------------------------------------

std::int32_t SimCameraLibrary::SetPreparseDataAndAttributes() {
  const std::shared_ptr<CameraDevice> camera = CommandChannelCamera();
  if (camera) {
    SetOpen(camera);
  }
  const std::int32_t result = camera ? 1 : 0;
  Log(NameOf(camera), "SetPreparseDataAndAttributes", {}, result);
  return result;
}

std::int32_t SimCameraLibrary::DevicestateCX3SNI(std::uint8_t* reply64) {
  const std::shared_ptr<CameraDevice> camera = OpenCameraDevice();
  const std::string dev = NameOf(camera);
  std::int32_t result = kNoCommandChannel;
  if (camera && camera->HasCommandChannel() && reply64 != nullptr) {
    result = camera->CommandChannelState(reply64);
  }
  Log(dev, "DevicestateCX3SNI", {}, result);
  return result;
}

std::int32_t SimCameraLibrary::SetHidReport(const std::uint8_t* report, std::int32_t length) {
  const std::shared_ptr<CameraDevice> camera = OpenCameraDevice();
  const std::string dev = NameOf(camera);
  const bool valid = report != nullptr && length > 0 && length <= kMaxCommandReport;
  std::int32_t result = 0;
  if (camera && camera->HasCommandChannel() && valid) {
    if (camera->SendCommandReport(report, static_cast<std::size_t>(length))) {
      result = 1;
    } else {
      ChargeHidTimeout(camera.get());
    }
  }
  const std::string hex = valid ? HexBytes(report, static_cast<std::size_t>(length)) : "";
  Log(dev, "SetHidReport", {hex, length}, result);
  return result;
}

std::int32_t SimCameraLibrary::GetHidReport(std::uint8_t* reply64) {
  const std::shared_ptr<CameraDevice> camera = OpenCameraDevice();
  const std::string dev = NameOf(camera);
  std::int32_t result = 0;
  if (camera && camera->HasCommandChannel() && reply64 != nullptr &&
      camera->ReadCommandReply(reply64)) {
    result = 1;
  }
  Log(dev, "GetHidReport", {}, result);
  return result;
}

// ---- the HID boot-loader channel ---------------------------------------------------------------

std::int32_t SimCameraLibrary::Init_HIDHandle(const wchar_t* path) {
  const std::shared_ptr<VirtualDevice> device = Find(path);
  const bool open = device && device->HasHidInterface();
  const Held held = open ? Hold(device) : Held{};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hid_ = held;
  }
  const std::int32_t result = open ? 1 : 0;
  Log(NameOf(device), "Init_HIDHandle", {Text(path)}, result);
  return result;
}

std::int32_t SimCameraLibrary::sendNXPHidCmd(const std::uint8_t* report, std::int32_t length,
                                             std::int32_t flag) {
  const std::shared_ptr<VirtualDevice> device = OpenHidDevice();
  const std::string dev = NameOf(device);
  std::int32_t result = 0;
  if (device && report != nullptr && length > 0) {
    if (device->OnHidReport(report, static_cast<std::size_t>(length), flag)) {
      result = 1;
    } else {
      ChargeHidTimeout(device.get());
    }
  }
  TrafficLog* log = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.emplace_back("sendNXPHidCmd");
    log = log_;
  }
  if (log != nullptr) {
    const std::size_t logged =
        report != nullptr && length > 0 ? static_cast<std::size_t>(length) : 0;
    log->LogHidOut(dev, report, logged, flag, result);
  }
  return result;
}

// ---- listing filters ---------------------------------------------------------------------------

std::int32_t SimCameraLibrary::IsDFUDeviceVID(const wchar_t* vid) {
  const std::int32_t result =
      OneOf(vid, kListedVendors, sizeof kListedVendors / sizeof kListedVendors[0]) ? 1 : 0;
  Log("", "IsDFUDeviceVID", {Text(vid)}, result);
  return result;
}

std::int32_t SimCameraLibrary::IsRestrictedCameraPID(const wchar_t* pid) {
  const std::int32_t result =
      OneOf(pid, kRestrictedProducts, sizeof kRestrictedProducts / sizeof kRestrictedProducts[0])
          ? 1
          : 0;
  Log("", "IsRestrictedCameraPID", {Text(pid)}, result);
  return result;
}

}  // namespace veltra::sim

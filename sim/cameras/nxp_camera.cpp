#include "sim/cameras/nxp_camera.h"

#include <algorithm>
#include <string>
#include <utility>

#include "sim/nxp_protocol.h"

namespace veltra::sim {

namespace {

constexpr const wchar_t* kRomDescription = L"RT1060 ROM Boot Loader";
constexpr const wchar_t* kFlashLoaderDescription = L"DFU HID Device";
constexpr std::size_t kStampReadLength = 40;
// The firmware a camera leaves the factory with: the boot block and a stamped image.
void WriteFactoryFirmware(SparseMemory& flash, const FirmwareVersion& version, std::size_t length) {
  std::vector<std::uint8_t> fcb(kFcbSize, 0);
  for (int i = 0; i < 4; ++i) {
    fcb[i] = static_cast<std::uint8_t>((kFcbTag >> (8 * i)) & 0xFF);
  }
  flash.Write(kFlexSpiBase, fcb.data(), fcb.size());
  const std::string stamp = "FWVER " + ToString(version) + "\n";
  std::vector<std::uint8_t> image(stamp.begin(), stamp.end());
  // Filler that is never 0xFF, so every byte of the image counts as programmed.
  for (std::size_t i = image.size(); i < length; ++i) {
    image.push_back(static_cast<std::uint8_t>(i % 251));
  }
  flash.Write(kFlashImageAddress, image.data(), image.size());
}

}  // namespace

NxpCamera::NxpCamera() : NxpCamera(Options{}) {}

NxpCamera::NxpCamera(Options options) : options_(std::move(options)), mode_(options_.startMode) {
  SetSerial(options_.serial);
  loader_.SetTiming(options_.loader);
  if (mode_ != Mode::kRom) {
    WriteFactoryFirmware(flash_, options_.version, options_.factoryImageLength);
  }
}

UsbId NxpCamera::Id() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  switch (mode_) {
    case Mode::kCamera:
      return UsbId{kMakerVid, kNxpCameraPid};
    case Mode::kRom:
      return UsbId{kNxpVid, kRt1060RomPid};
    case Mode::kFlashLoader:
      break;
  }
  return UsbId{kMakerVid, kFlashLoaderPid};
}

std::wstring NxpCamera::Description() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  switch (mode_) {
    case Mode::kCamera:
      return options_.name;
    case Mode::kRom:
      return kRomDescription;
    case Mode::kFlashLoader:
      break;
  }
  return kFlashLoaderDescription;
}

std::wstring NxpCamera::FriendlyName() const {
  return Description();
}

bool NxpCamera::HasVideoInterface() const {
  return CurrentMode() == Mode::kCamera;
}

// Every mode has a HID interface: the camera's own, the ROM's and the flash loader's.
bool NxpCamera::HasHidInterface() const {
  return true;
}

DeviceMode NxpCamera::BusMode() const {
  switch (CurrentMode()) {
    case Mode::kCamera:
      return DeviceMode::kNormal;
    case Mode::kRom:
      return DeviceMode::kBootRom;
    case Mode::kFlashLoader:
      return DeviceMode::kUpdateMode;
  }
  return DeviceMode::kNormal;
}

NxpCamera::Mode NxpCamera::CurrentMode() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return mode_;
}

bool NxpCamera::OpensExtensionUnit() const {
  return CurrentMode() == Mode::kCamera;
}

std::int32_t NxpCamera::FirmwareUpdate(std::uint8_t /*imageType*/) {
  if (CurrentMode() != Mode::kCamera || TakeFault() != FaultKind::kNone) {
    return 0;
  }
  Reenumerate([this]() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    mode_ = Mode::kRom;
    rom_.Restart();
  });
  return 1;
}

bool NxpCamera::ReadVersion(FirmwareVersion* version) {
  if (version == nullptr || CurrentMode() != Mode::kCamera) {
    return false;
  }
  if (TakeFault() != FaultKind::kNone) {
    return false;
  }
  *version = Version();
  return true;
}

std::int32_t NxpCamera::ResetCamera() {
  if (CurrentMode() != Mode::kCamera || TakeFault() != FaultKind::kNone) {
    return 0;
  }
  Reenumerate([this]() { Restart(); });
  return 1;
}

void NxpCamera::PowerCycle() {
  CameraDevice::PowerCycle();
  Restart();
}

void NxpCamera::Restart() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // The boot ROM checks the boot block; an image cut short would crash on start, so a chip whose
  // image was not written whole stays in its ROM.
  mode_ = FlashBoots(flash_) && loader_.ImageWhole() ? Mode::kCamera : Mode::kRom;
  rom_.Restart();
}

bool NxpCamera::OnHidReport(const std::uint8_t* report, std::size_t length, int flag) {
  if (report == nullptr || length == 0) {
    return false;
  }
  if (strictness().reportLengths) {
    // The write is refused before it reaches the device when its length is not the report
    // length of the mode's HID descriptor.
    const Mode mode = CurrentMode();
    const std::size_t expected = mode == Mode::kRom ? nxp::kSdpReportLength : nxp::kBlReportLength;
    if (mode != Mode::kCamera && length != expected) {
      return false;
    }
  }
  const FaultKind fault = TakeFault();
  if (fault == FaultKind::kTransferError || fault == FaultKind::kShortTransfer ||
      fault == FaultKind::kDisconnect) {
    return false;
  }
  bool jump = false;
  bool restart = false;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (mode_ == Mode::kCamera) {
      return false;  // the normal firmware takes no boot-loader reports
    }
    reports_.push_back(Report{mode_, length, flag});
    // A device in its error state drops what it gets; the report itself was delivered.
    if (fault == FaultKind::kErrorState) {
      return true;
    }
    if (mode_ == Mode::kRom) {
      jump = rom_.OnReport(report, length) == Rt1060Rom::Result::kJump;
    } else {
      restart = loader_.OnReport(report, length) == FlashLoader::Result::kRestart;
    }
  }
  if (jump) {
    Reenumerate([this]() {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      mode_ = Mode::kFlashLoader;
      loader_.Restart();
    });
  } else if (restart) {
    Reenumerate([this]() { Restart(); });
  }
  return true;
}

NxpCamera::InputRead NxpCamera::ReadHidInput(std::uint8_t* report, std::size_t capacity,
                                             std::size_t* got, std::uint64_t deadlineMs,
                                             std::uint64_t* readyMs) {
  *got = 0;
  const FaultKind fault = TakeFault();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<std::uint8_t> answer;
  const bool answered =
      mode_ == Mode::kFlashLoader && loader_.TakeAnswer(&answer, deadlineMs, readyMs);
  if (fault != FaultKind::kNone && fault != FaultKind::kErrorState) {
    return InputRead::kFailed;  // the answer is lost with the read
  }
  if (!answered) {
    return InputRead::kNothing;
  }
  if (fault == FaultKind::kErrorState) {
    const std::uint32_t failed = nxp::status::kFail;
    for (std::size_t i = 0; i < 4; ++i) {
      answer[nxp::kBlResponseStatus + i] = static_cast<std::uint8_t>((failed >> (8 * i)) & 0xFF);
    }
  }
  *got = std::min(capacity, answer.size());
  std::copy(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(*got), report);
  return InputRead::kReport;
}

void NxpCamera::SetLoaderTiming(const FlashLoader::Timing& timing) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  options_.loader = timing;
  loader_.SetTiming(timing);
}

void NxpCamera::FlushHidInput() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  loader_.DropAnswers();
}

std::vector<std::uint8_t> NxpCamera::FlashBytes(std::uint32_t address, std::size_t length) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return flash_.Read(address, length);
}

FirmwareVersion NxpCamera::Version() const {
  const std::vector<std::uint8_t> head = FlashBytes(kFlashImageAddress, kStampReadLength);
  FirmwareVersion version;
  return ReadVersionStamp(head.data(), head.size(), &version) ? version : kUnknownVersion;
}

Rt1060Rom NxpCamera::Rom() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return rom_;
}

std::vector<BlCommandRecord> NxpCamera::LoaderCommands() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return loader_.Commands();
}

bool NxpCamera::LoaderConfigured() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return loader_.Configured();
}

int NxpCamera::LoaderDataPackets() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return loader_.DataPackets();
}

std::vector<NxpCamera::Report> NxpCamera::Reports() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return reports_;
}

}  // namespace veltra::sim

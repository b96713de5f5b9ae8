#include "sim/cameras/mirel_camera.h"

#include <utility>

namespace veltra::sim {

MirelCamera::MirelCamera() : MirelCamera(Options{}) {}

MirelCamera::MirelCamera(Options options)
    : options_(std::move(options)), version_(options_.version) {
  SetSerial(options_.serial);
}

UsbId MirelCamera::Id() const {
  return options_.sunplusIds ? UsbId{kSunplusVid, kSunplusCameraPid} : UsbId{kMakerVid, kMirelPid};
}

std::wstring MirelCamera::Description() const {
  return options_.name;
}

bool MirelCamera::ReadVersion(FirmwareVersion* version) {
  if (version == nullptr || TakeFault() != FaultKind::kNone) {
    return false;
  }
  *version = Version();
  return true;
}

std::int32_t MirelCamera::ResetCamera() {
  if (TakeFault() != FaultKind::kNone) {
    return 0;
  }
  Reboot();
  return 1;
}

bool MirelCamera::ReceiveImage(const std::uint8_t* data, std::size_t length) {
  if (data == nullptr || TakeFault() != FaultKind::kNone) {
    return false;
  }
  FirmwareVersion version;
  if (!ReadVersionStamp(data, length, &version)) {
    version = kUnknownVersion;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  image_.assign(data, data + length);
  pendingVersion_ = version;
  pending_ = true;
  ++imagesReceived_;
  return true;
}

void MirelCamera::Reboot() {
  Reenumerate([this]() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (pending_) {
      version_ = pendingVersion_;
    }
    pending_ = false;
  });
}

std::vector<std::uint8_t> MirelCamera::Image() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return image_;
}

int MirelCamera::ImagesReceived() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return imagesReceived_;
}

FirmwareVersion MirelCamera::Version() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return version_;
}

}  // namespace veltra::sim

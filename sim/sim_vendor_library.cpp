#include "sim/sim_vendor_library.h"

#include <shared_mutex>
#include <utility>

#include "core/text.h"
#include "loaders/sunplus_download.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/traffic_log.h"

namespace veltra::sim {

namespace {

constexpr UsbId kMirelNormal{0x7E51, 0xC181};
constexpr UsbId kMirelSunplus{0x1BCF, 0x0B12};
constexpr std::int32_t kNotFound = 1;
constexpr std::int32_t kFailed = 2;

// The active bench library. Entry points hold the lock shared while they run, so that the bench
// object cannot go away under a download thread.
std::shared_mutex g_registryMutex;
SimVendorLibrary* g_active = nullptr;

// ---- the exported functions of the virtual DLL ----

std::int32_t VELTRA_CDECL ExportInit(std::int32_t reserved) {
  std::shared_lock<std::shared_mutex> lock(g_registryMutex);
  return g_active != nullptr ? g_active->Init(reserved) : kNotFound;
}

std::int32_t VELTRA_CDECL ExportInitId(std::int32_t reserved) {
  return ExportInit(reserved);
}

std::int32_t VELTRA_CDECL ExportUnInit(std::int32_t reserved) {
  std::shared_lock<std::shared_mutex> lock(g_registryMutex);
  return g_active != nullptr ? g_active->UnInit(reserved) : 0;
}

std::int32_t VELTRA_CDECL ExportGetFlashType(std::uint8_t* flashType) {
  std::shared_lock<std::shared_mutex> lock(g_registryMutex);
  return g_active != nullptr ? g_active->GetFlashType(flashType) : kFailed;
}

std::int32_t VELTRA_CDECL ExportDownload(std::uint8_t* image, std::int32_t length,
                                         std::int32_t flashType, std::int32_t reserved4,
                                         std::int32_t reserved5, std::int32_t reserved6,
                                         std::int32_t reserved7, std::int32_t one8,
                                         std::int32_t zero9, PfnSunplusProgress progress,
                                         std::int32_t zero11) {
  std::shared_lock<std::shared_mutex> lock(g_registryMutex);
  if (g_active == nullptr) {
    return kFailed;
  }
  const std::int32_t reserved[6] = {reserved4, reserved5, reserved6, reserved7, one8, zero9};
  const std::function<std::int32_t(std::int32_t)> report = [progress](std::int32_t value) {
    return progress != nullptr ? progress(value) : 0;
  };
  return g_active->Download(image, length, flashType, reserved, report, progress != nullptr,
                            zero11);
}

std::int32_t VELTRA_CDECL ExportCheckWriteProtected() {
  std::shared_lock<std::shared_mutex> lock(g_registryMutex);
  return g_active != nullptr ? g_active->CheckWriteProtected() : 0;
}

bool IsMirel(const UsbId& id) {
  return (id.vid == kMirelNormal.vid && id.pid == kMirelNormal.pid) ||
         (id.vid == kMirelSunplus.vid && id.pid == kMirelSunplus.pid);
}

}  // namespace

SimVendorLibrary::SimVendorLibrary(Bus& bus) : bus_(bus) {
  for (int value = 0; value <= 100; value += 10) {
    progress_.push_back(value);
  }
  std::unique_lock<std::shared_mutex> lock(g_registryMutex);
  g_active = this;
}

SimVendorLibrary::~SimVendorLibrary() {
  std::unique_lock<std::shared_mutex> lock(g_registryMutex);
  if (g_active == this) {
    g_active = nullptr;
  }
}

Handle SimVendorLibrary::Load(const wchar_t* name) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!installed_ || !TextEqualsNoCase(name, kSunplusLibraryName)) {
    return kNullHandle;
  }
  const Handle handle = nextHandle_++;
  open_.insert(handle);
  ++loads_;
  return handle;
}

void* SimVendorLibrary::GetProc(Handle library, const char* ansiName) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_.count(library) == 0 || ansiName == nullptr) {
    return nullptr;
  }
  const std::string name(ansiName);
  if (removed_.count(name) != 0) {
    return nullptr;
  }
  if (name == kSunplusInitName) {
    return reinterpret_cast<void*>(&ExportInit);
  }
  if (name == "SunplusCam_Init_ID") {
    return reinterpret_cast<void*>(&ExportInitId);
  }
  if (name == kSunplusUnInitName) {
    return reinterpret_cast<void*>(&ExportUnInit);
  }
  if (name == kSunplusFlashTypeName) {
    return reinterpret_cast<void*>(&ExportGetFlashType);
  }
  if (name == kSunplusDownloadName) {
    return reinterpret_cast<void*>(&ExportDownload);
  }
  if (name == "CheckWriteProtected") {
    return reinterpret_cast<void*>(&ExportCheckWriteProtected);
  }
  return nullptr;
}

void SimVendorLibrary::Free(Handle library) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.erase(library);
}

void SimVendorLibrary::SetInstalled(bool installed) {
  std::lock_guard<std::mutex> lock(mutex_);
  installed_ = installed;
}

void SimVendorLibrary::RemoveEntryPoint(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  removed_.insert(name);
}

void SimVendorLibrary::SetFlashType(std::uint8_t type, std::int32_t result) {
  std::lock_guard<std::mutex> lock(mutex_);
  flashType_ = type;
  flashTypeResult_ = result;
}

void SimVendorLibrary::FailDownloadAt(int progressIndex) {
  std::lock_guard<std::mutex> lock(mutex_);
  failAt_ = progressIndex;
}

void SimVendorLibrary::SetProgress(const std::vector<int>& values) {
  std::lock_guard<std::mutex> lock(mutex_);
  progress_ = values;
}

void SimVendorLibrary::SetImageReceiver(ImageReceiver receiver) {
  std::lock_guard<std::mutex> lock(mutex_);
  receiver_ = std::move(receiver);
}

void SimVendorLibrary::SetTrafficLog(TrafficLog* log) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_ = log;
}

int SimVendorLibrary::OpenLibraries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(open_.size());
}

int SimVendorLibrary::LoadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loads_;
}

std::vector<std::string> SimVendorLibrary::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::shared_ptr<VirtualDevice> SimVendorLibrary::OpenedCamera() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return camera_;
}

SimVendorLibrary::DownloadCall SimVendorLibrary::LastDownload() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_;
}

std::string SimVendorLibrary::DeviceName() const {
  if (camera_ == nullptr) {
    return "0000:0000";
  }
  return sim::DeviceName(camera_->Id());
}

void SimVendorLibrary::Log(const std::string& call, const std::string& args, std::int32_t result) {
  calls_.push_back(call + "(" + args + ")=" + std::to_string(result));
  if (log_ != nullptr) {
    log_->LogLibrary(DeviceName(), call, {LogArg(args)}, result);
  }
}

std::int32_t SimVendorLibrary::Init(std::int32_t reserved) {
  std::lock_guard<std::mutex> lock(mutex_);
  camera_.reset();
  for (const auto& device : bus_.Present()) {
    if (IsMirel(device->Id())) {
      camera_ = device;
      break;
    }
  }
  const std::int32_t result = camera_ != nullptr ? 0 : kNotFound;
  Log("SunplusCam_Init", std::to_string(reserved), result);
  return result;
}

std::int32_t SimVendorLibrary::UnInit(std::int32_t reserved) {
  std::lock_guard<std::mutex> lock(mutex_);
  Log("SunplusCam_UnInit", std::to_string(reserved), 0);
  camera_.reset();
  return 0;
}

std::int32_t SimVendorLibrary::GetFlashType(std::uint8_t* flashType) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t result = flashTypeResult_;
  if (camera_ == nullptr || flashType == nullptr) {
    result = kFailed;
  } else if (result == 0) {
    *flashType = flashType_;
  }
  Log("Get_FlashType", "", result);
  return result;
}

std::int32_t SimVendorLibrary::CheckWriteProtected() {
  std::lock_guard<std::mutex> lock(mutex_);
  Log("CheckWriteProtected", "", 0);
  return 0;
}

std::int32_t SimVendorLibrary::Download(std::uint8_t* image, std::int32_t length,
                                        std::int32_t flashType, const std::int32_t (&reserved)[6],
                                        const std::function<std::int32_t(std::int32_t)>& progress,
                                        bool callbackGiven, std::int32_t last) {
  std::vector<int> steps;
  int failAt = -1;
  std::shared_ptr<VirtualDevice> camera;
  ImageReceiver receiver;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_ = DownloadCall{};
    if (image != nullptr && length > 0) {
      last_.image.assign(image, image + length);
    }
    last_.length = length;
    last_.flashType = flashType;
    for (int i = 0; i < 6; ++i) {
      last_.reserved[i] = reserved[i];
    }
    last_.callbackGiven = callbackGiven;
    last_.last = last;
    steps = progress_;
    failAt = failAt_;
    camera = camera_;
    receiver = receiver_;
  }
  auto finish = [&](std::int32_t result) {
    std::lock_guard<std::mutex> lock(mutex_);
    Log("Download_FW_Verbose", std::to_string(length) + "," + std::to_string(flashType), result);
    return result;
  };
  if (camera == nullptr || image == nullptr || length <= 0) {
    return finish(kFailed);
  }
  // The progress callback runs without the bench's lock: it waits for the dialog.
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (static_cast<int>(i) == failAt) {
      return finish(kFailed);
    }
    const std::int32_t answer = progress(steps[i]);
    std::lock_guard<std::mutex> lock(mutex_);
    last_.callbackResults.push_back(answer);
  }
  if (failAt >= 0 && static_cast<std::size_t>(failAt) >= steps.size()) {
    return finish(kFailed);
  }
  if (!bus_.IsPresent(camera.get())) {
    return finish(kFailed);
  }
  if (receiver) {
    return finish(receiver(*camera, image, static_cast<std::size_t>(length)) ? 0 : kFailed);
  }
  auto* mirel = dynamic_cast<MirelCamera*>(camera.get());
  if (mirel == nullptr) {
    return finish(0);  // a stand-in device: the image stays in LastDownload
  }
  if (!mirel->ReceiveImage(image, static_cast<std::size_t>(length))) {
    return finish(kFailed);
  }
  const std::int32_t result = finish(0);
  // The camera restarts on its new firmware when the download is done.
  mirel->Reboot();
  return result;
}

}  // namespace veltra::sim

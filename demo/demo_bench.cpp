#include "demo/demo_bench.h"

#include <utility>

#include "core/text.h"

namespace veltra::demo {

namespace {

constexpr std::size_t kLineChars = 200;

std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

}  // namespace

DemoBench::DemoBench(const Config& config, std::vector<BenchCamera> cameras)
    : config_(config), clock_(config.speed) {
  if (!config_.trafficLogPath.empty()) {
    log_ = std::make_unique<sim::TrafficLog>(usb_, config_.trafficLogPath);
    library_.SetLog(log_.get());
    hidInput_.SetLog(log_.get());
    vendor_.SetTrafficLog(log_.get());
  }
  for (BenchCamera& camera : cameras) {
    // A camera that re-enumerates stays away for a while, as a real one does while it restarts.
    sim::CameraDevice* device = camera.device.get();
    DriverInstallMs(*device);  // the identity it is plugged in with is known to Windows
    camera.device->SetReturnScheduler([this, device](std::function<void()> comeBack) {
      returns_.Push(config_.returnDelayMs + DriverInstallMs(*device), std::move(comeBack));
    });
    Slot slot;
    slot.camera = std::move(camera);
    cameras_.push_back(std::move(slot));
  }
  // Every bus change passes here first, on the thread that changed the bus: the bench's own
  // bookkeeping, then the notification (dropped until NotifyChanges rather than queued in the
  // discovery port), then the bench window.
  discovery_.SetChangeListener([this](const DeviceChange& change) {
    if (change.event == kDbtDeviceArrival) {
      CountAppearances();
    }
    ChangeSink sink;
    ChangeListener listener;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sink = sink_;
      listener = listener_;
    }
    if (sink) {
      notifications_.Push(config_.notifyLatencyMs, [sink, change] { sink(change); });
    }
    if (listener) {
      listener();
    }
    // The log reaches its file at least at every change of the bus: the demo may be ended
    // at any moment.
    if (log_) {
      log_->Flush();
    }
  });
}

DemoBench::~DemoBench() {
  Stop();
}

UsbTransport& DemoBench::usb() {
  if (log_) {
    return *log_;
  }
  return usb_;
}

bool DemoBench::TrafficLogOk() const {
  return !log_ || log_->ok();
}

void DemoBench::PlugStartupCameras() {
  for (std::size_t i = 0; i < cameras_.size(); ++i) {
    bool plug = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      plug = cameras_[i].camera.entry.plugged && !cameras_[i].plugged;
      cameras_[i].plugged = cameras_[i].plugged || plug;
    }
    if (plug) {
      bus_.Plug(cameras_[i].camera.device);
    }
  }
}

void DemoBench::NotifyChanges(ChangeSink sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_ = std::move(sink);
}

void DemoBench::OnBusChange(ChangeListener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = std::move(listener);
}

void DemoBench::CountAppearances() {
  // The bus and the devices are asked without holding the bench's lock: a device may raise bus
  // events while it holds its own.
  std::vector<unsigned> enumerations;
  for (const Slot& slot : cameras_) {
    enumerations.push_back(bus_.Enumeration(slot.camera.device.get()));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < cameras_.size(); ++i) {
    Slot& slot = cameras_[i];
    if (enumerations[i] != 0 && enumerations[i] != slot.lastEnumeration) {
      slot.lastEnumeration = enumerations[i];
      ++slot.appearances;
    }
  }
}

std::string DemoBench::Execute(const BenchCommand& command) {
  if (command.camera >= cameras_.size()) {
    return "no camera " + std::to_string(command.camera) + " on the bench (it has " +
           std::to_string(cameras_.size()) + ")";
  }
  Slot& slot = cameras_[command.camera];
  sim::VirtualDevice* device = slot.camera.device.get();
  switch (command.verb) {
    case BenchCommand::Verb::kPlug: {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (slot.plugged) {
          return "camera " + std::to_string(command.camera) + " is plugged in already";
        }
        slot.plugged = true;
      }
      bus_.Plug(slot.camera.device);
      return "";
    }
    case BenchCommand::Verb::kUnplug: {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!slot.plugged) {
          return "camera " + std::to_string(command.camera) + " is not plugged in";
        }
        slot.plugged = false;
      }
      // A return still pending for it finds no place on the bus and is dropped by the bus.
      bus_.Unplug(device);
      return "";
    }
    case BenchCommand::Verb::kFault: {
      // The device counts transfers afresh from the moment it is given a plan.
      sim::FaultPlan plan;
      plan.kind = command.fault;
      plan.atTransfer = command.fault == sim::FaultKind::kNone ? -1 : command.afterTransfers;
      device->SetFault(plan);
      return "";
    }
  }
  return "unknown command";
}

std::vector<std::wstring> DemoBench::Describe() const {
  std::vector<bool> plugged;
  std::vector<int> appearances;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Slot& slot : cameras_) {
      plugged.push_back(slot.plugged);
      appearances.push_back(slot.appearances);
    }
  }
  std::vector<std::wstring> lines;
  for (std::size_t i = 0; i < cameras_.size(); ++i) {
    const BenchCamera& camera = cameras_[i].camera;
    const sim::CameraDevice& device = *camera.device;
    const sim::UsbId id = device.Id();
    const wchar_t* where = L"unplugged";
    if (plugged[i]) {
      where = bus_.IsPresent(&device) ? L"on the bus" : L"re-enumerating";
    }
    const std::wstring serial = device.Serial().empty() ? L"(none)" : device.Serial();
    wchar_t line[kLineChars];
    FormatText(line, kLineChars, L"#%u %ls %04X:%04X %ls, fw %ls, serial %ls, seen %d",
               static_cast<unsigned>(i), device.FriendlyName().c_str(),
               static_cast<unsigned>(id.vid), static_cast<unsigned>(id.pid), where,
               Widen(camera.version(device)).c_str(), serial.c_str(), appearances[i]);
    lines.emplace_back(line);
  }
  return lines;
}

std::uint32_t DemoBench::DriverInstallMs(const sim::CameraDevice& device) {
  // Windows installs a driver the first time it sees an identity: the device's mode, its serial.
  const sim::UsbId id = device.Id();
  const std::wstring identity =
      std::to_wstring(id.vid) + L":" + std::to_wstring(id.pid) + L"\\" + device.Serial();
  std::lock_guard<std::mutex> lock(mutex_);
  const bool first = installed_.insert({&device, identity}).second;
  return first ? device.unknowns().driverInstallMs : 0;
}

void DemoBench::Stop() {
  returns_.Stop();
  notifications_.Stop();
  if (log_) {
    log_->Flush();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  sink_ = nullptr;
  listener_ = nullptr;
}

}  // namespace veltra::demo

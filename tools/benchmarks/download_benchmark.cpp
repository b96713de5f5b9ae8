// The program's own cost of a download. The camera answers at once (no busy polls) and the clock
// is the bench's instant clock, so the required pauses (20 ms per status read, 50 ms per MCU
// chunk, 10 s before the MCU verify) cost no real time: the real time of a run is what the
// program itself spends. It is reported against the sum of the required pauses, read from the
// program's clock: on a real camera that sum is the floor of the download's duration.
//
// Each pause on the instant clock still yields the processor once; on a loaded machine other
// processes run in those gaps, so the real time can exceed the program's own CPU time. Both are
// reported (overhead_ms is real time, overhead_cpu_pct the CPU time of this process).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <ostream>

#include "app/dialog_observer.h"
#include "app/shown_controls.h"
#include "camera/update_worker.h"
#include "console-dialog/console_dialog.h"
#include "core/update_controller.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "platform/ports.h"
#include "sim/bus.h"
#include "sim/dfu_camera.h"
#include "sim/sim_system.h"
#include "sim/sim_usb_transport.h"
#include "sim/virtual_clock.h"
#include "veltra-mkfw/fwgen.h"

namespace {

namespace fw = veltra::fwgen;
constexpr std::size_t kPayloadBytes = 1u << 20;
enum Kind { kFpga, kMcu, kUnmarked };

// Selects a 1 MiB file of the kind as Browse leaves it.
void Load(Kind kind, const fw::Bytes& first, const fw::Bytes& second) {
  veltra::UpdateSession& update = veltra::CurrentUpdate();
  veltra::SelectImage(update, nullptr);
  update.ClearDownload();
  update.bCameraStartsAfresh = 0;
  const fw::Bytes file = kind == kFpga  ? fw::FpgaFile(first, second)
                         : kind == kMcu ? fw::McuFile(first, second)
                                        : second;  // unmarked: written in one pass
  veltra::ParseResult parsed =
      veltra::ParseFirmwareBytes(file.data(), static_cast<std::uint32_t>(file.size()));
  if (parsed.image) {
    veltra::SelectImage(update,
                        std::make_shared<const veltra::ParsedImage>(std::move(*parsed.image)));
  }
}

void BM_DownloadOverhead1MiB(benchmark::State& state) {
  const auto kind = static_cast<Kind>(state.range(0));
  veltra::sim::VirtualClock clock;
  veltra::sim::SimSystem system(clock);
  veltra::sim::Bus bus;
  veltra::sim::SimUsbTransport usb(bus);
  std::ostream discard(nullptr);
  veltra::bench::ConsoleDialog dialog(discard, true, clock);
  veltra::Ports ports;
  ports.system = &system;
  ports.usb = &usb;
  veltra::ShownControls shown(dialog);
  ports.dialog = &shown;
  veltra::InstallPorts(ports);
  // The worker's reports reach the dialog as they do in the program.
  veltra::ConnectToDialog(veltra::CurrentUpdate());

  veltra::sim::DfuCamera::Options options;
  options.engine.busyPolls = 0;  // a zero-latency camera
  auto camera = std::make_shared<veltra::sim::DfuCamera>(options);
  bus.Plug(camera);
  const std::wstring path = bus.UsbInterfacePath(camera.get());
  // Half and half for the two-payload kinds, the whole MiB for the unmarked image.
  const fw::Bytes first =
      kind == kMcu ? fw::McuLines(kPayloadBytes / 2 / 64, 64, 1) : fw::Filler(kPayloadBytes / 2, 1);
  const fw::Bytes second = fw::Filler(kind == kUnmarked ? kPayloadBytes : kPayloadBytes / 2, 2);

  double pausesMs = 0;
  double realMs = 0;
  double cpuMs = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    state.PauseTiming();
    Load(kind, first, second);
    camera->engine().ClearFlash();
    camera->engine().Restart();
    veltra::ReleaseDfuHandles(veltra::CurrentUpdate().link);
    veltra::InitializeDevice(veltra::CurrentUpdate().link, path.c_str());
    system.ClearTrace();
    const std::uint64_t clockBefore = clock.NowMs();
    state.ResumeTiming();

    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const std::uint32_t result =
        veltra::UpdateFirmware(veltra::CurrentUpdate(), veltra::WorkerStart{});
    const std::clock_t cpuEnd = std::clock();
    const auto end = std::chrono::steady_clock::now();

    state.PauseTiming();
    if (result != 1) {
      state.SkipWithError("the download failed");
      break;
    }
    pausesMs += static_cast<double>(clock.NowMs() - clockBefore);
    realMs += std::chrono::duration<double, std::milli>(end - start).count();
    cpuMs += 1000.0 * static_cast<double>(cpuEnd - cpuStart) / CLOCKS_PER_SEC;
    state.ResumeTiming();
  }
  const double runs = static_cast<double>(state.iterations());
  if (runs > 0 && pausesMs > 0) {
    state.counters["required_pauses_ms"] = pausesMs / runs;
    state.counters["overhead_ms"] = realMs / runs;
    state.counters["overhead_pct"] = 100.0 * realMs / pausesMs;
    state.counters["overhead_cpu_pct"] = 100.0 * cpuMs / pausesMs;
  }
  state.SetLabel(kind == kFpga ? "fpga" : (kind == kMcu ? "mcu" : "unmarked"));
  veltra::ReleaseDfuHandles(veltra::CurrentUpdate().link);
  veltra::SelectImage(veltra::CurrentUpdate(), nullptr);
  veltra::InstallPorts(veltra::Ports{});
}
BENCHMARK(BM_DownloadOverhead1MiB)
    ->Arg(kFpga)
    ->Arg(kMcu)
    ->Arg(kUnmarked)
    ->Unit(benchmark::kMillisecond);

}  // namespace

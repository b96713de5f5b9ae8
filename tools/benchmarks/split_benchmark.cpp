// Reading a firmware file is one SplitFirmwareFile over the whole file: the marker search, the
// layout checks, the payload copies and, for an MCU file, the chunk count over its text. This
// measures it on a 64 MiB file of each marked kind.
#include <benchmark/benchmark.h>

#include "image/firmware_image.h"
#include "platform/ports.h"
#include "sim/sim_system.h"
#include "sim/virtual_clock.h"
#include "veltra-mkfw/fwgen.h"

namespace {

namespace fw = veltra::fwgen;
constexpr std::size_t kFileBytes = 64u << 20;
constexpr std::size_t kMcuLine = 64;

fw::Bytes MakeFile(int kind) {
  const fw::Version v{2, 1, 7, 3};
  const std::size_t half = kFileBytes / 2;
  switch (kind) {
    case 0:
      return fw::CombinedFile(1, fw::StampedPayload(half, v, 1), fw::StampedPayload(half, v, 2));
    case 1:
      return fw::FpgaFile(fw::StampedPayload(half, v, 3), fw::StampedPayload(half, v, 4));
    default:
      return fw::McuFile(fw::McuLines(half / kMcuLine, kMcuLine, 5),
                         fw::StampedPayload(half, v, 6));
  }
}

void BM_SplitFirmwareFile64MiB(benchmark::State& state) {
  veltra::sim::VirtualClock clock;
  veltra::sim::SimSystem system(clock);
  veltra::Ports ports;
  ports.system = &system;
  veltra::InstallPorts(ports);
  const fw::Bytes file = MakeFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const int ok = veltra::SplitFirmwareFile(file.data(), static_cast<std::uint32_t>(file.size()));
    benchmark::DoNotOptimize(ok);
    if (ok == 0) {
      state.SkipWithError("the file was not accepted");
      break;
    }
    state.PauseTiming();
    veltra::ResetImageState();
    system.ClearTrace();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(file.size()));
  state.SetLabel(state.range(0) == 0 ? "combined" : (state.range(0) == 1 ? "fpga" : "mcu"));
  veltra::InstallPorts(veltra::Ports{});
}
BENCHMARK(BM_SplitFirmwareFile64MiB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

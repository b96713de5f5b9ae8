// Reading a firmware file is one ParseFirmwareFile over the whole file in memory: the marker
// search, the layout checks and, for an MCU file, the chunks of its text. This measures it on a
// 64 MiB file of each kind.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

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
    case 2:
      return fw::McuFile(fw::McuLines(half / kMcuLine, kMcuLine, 5),
                         fw::StampedPayload(half, v, 6));
    default:
      return fw::StampedPayload(kFileBytes, v, 7);
  }
}

void BM_SplitFirmwareFile64MiB(benchmark::State& state) {
  veltra::sim::VirtualClock clock;
  veltra::sim::SimSystem system(clock);
  veltra::Ports ports;
  ports.system = &system;
  veltra::InstallPorts(ports);
  const fw::Bytes bytes = MakeFile(static_cast<int>(state.range(0)));
  const auto length = static_cast<std::uint32_t>(bytes.size());
  // The bytes in memory, as Browse holds them after its read.
  std::shared_ptr<std::uint8_t> file(new std::uint8_t[length],
                                     std::default_delete<std::uint8_t[]>());
  std::copy(bytes.begin(), bytes.end(), file.get());
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    veltra::ParseResult result = veltra::ParseFirmwareFile(file, length);
    benchmark::DoNotOptimize(result);
    if (!result.image) {
      state.SkipWithError("the file was not accepted");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(length));
  static constexpr const char* kLabels[] = {"combined", "fpga", "mcu", "unmarked"};
  state.SetLabel(kLabels[state.range(0)]);
  veltra::InstallPorts(veltra::Ports{});
}
BENCHMARK(BM_SplitFirmwareFile64MiB)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

// veltra-update-demo.exe: veltra-update's Windows entry (win32_main_update_entry.h) with the
// virtual camera bench in place of Windows' devices. The bench is set up from the environment
// (bench_setup.h); the bench's device changes reach the program through the product's hidden
// window (win32_bench_host.h).
#include <iostream>
#include <string>
#include <vector>

#include "console/console_run.h"
#include "console/device_text.h"
#include "console/exit_codes.h"
#include "platform/win32/win32_main_update_entry.h"
#include "veltra-update/bench_setup.h"

namespace {

int RunOnBench(const veltra::console::Options& options, veltra::console::RunPorts ports) {
  using namespace veltra;
  update_bench::BenchSetup setup;
  std::string error;
  if (!update_bench::SetupFromEnvironment(&setup, &error)) {
    std::cerr << "veltra-update: the bench: " << error << '\n';
    return console::kExitUsage;
  }
  update_bench::BenchDriver driver(setup);
  ports.driver = &driver;
  ports.seconds = [&driver] { return driver.Seconds(); };
  const int code = console::RunConsole(options, ports);
  if (!options.logPath.empty()) {
    // The bench keeps the program's trace; written whole at the end.
    std::FILE* log = OpenLogFile(options.logPath);
    for (const std::wstring& line : driver.Trace()) {
      const std::string text = console::Utf8(line);
      if (log != nullptr) {
        std::fwrite(text.data(), 1, text.size(), log);
      }
    }
    if (log == nullptr || std::fclose(log) != 0) {
      std::cerr << "veltra-update: cannot write the log " << options.logPath << '\n';
    }
  }
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  return veltra::UpdateEntry(argc, argv, &RunOnBench);
}

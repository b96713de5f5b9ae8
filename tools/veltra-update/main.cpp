// veltra-update against the virtual camera bench: the console program's own logic and command
// line, with the program's dialog procedures driving the bench's cameras (bench_driver.h). The
// bench is set up from the environment (bench_setup.h). The Windows demo build has an entry of its
// own (demo_main_win32.cpp), the product's.
#include <atomic>
#include <csignal>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "console/console_run.h"
#include "console/device_text.h"
#include "console/exit_codes.h"
#include "veltra-update/bench_setup.h"
#include "veltra-update/openssl_sha256.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnInterrupt(int) {
  g_stop = true;
}

// The program's trace, for support.
void WriteLog(const std::string& path, const std::vector<std::wstring>& trace) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const std::wstring& line : trace) {
    out << veltra::console::Utf8(line);
    if (line.empty() || line.back() != L'\n') {
      out << '\n';
    }
  }
  if (!out) {
    std::cerr << "veltra-update: cannot write the log " << path << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace veltra;
  const std::vector<std::string> args(argv + 1, argv + argc);
  console::Options options;
  std::string text;
  if (const std::optional<int> ended =
          console::ReadCommandLine(args, &options, std::cout, std::cerr)) {
    return *ended;
  }
  update_bench::BenchSetup setup;
  if (!update_bench::SetupFromEnvironment(&setup, &text)) {
    std::cerr << "veltra-update: the bench: " << text << '\n';
    return console::kExitUsage;
  }
  std::signal(SIGINT, OnInterrupt);
  int code = 0;
  {
    update_bench::BenchDriver driver(setup);
    update_bench::OpensslSha256 sha256;
    console::RunPorts ports;
    ports.driver = &driver;
    ports.sha256 = &sha256;
    ports.seconds = [&driver] { return driver.Seconds(); };
    ports.stop = &g_stop;
    ports.out = &std::cout;
    ports.err = &std::cerr;
    code = console::RunConsole(options, ports);
    if (!options.logPath.empty()) {
      WriteLog(options.logPath, driver.Trace());
    }
  }
  return code;
}

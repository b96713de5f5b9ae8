#include "platform/win32/win32_main_update_entry.h"

// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

#include <iostream>
#include <vector>

#include "console/console_run.h"
#include "console/device_text.h"
#include "console/exit_codes.h"
#include "platform/win32/win32_console_interrupt.h"
#include "platform/win32/win32_sha256.h"

namespace veltra {

std::FILE* OpenLogFile(const std::string& path) {
  const int chars = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  if (chars <= 0) {
    return nullptr;
  }
  std::wstring wide(static_cast<std::size_t>(chars), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0], chars);
  return _wfopen(wide.c_str(), L"wb");
}

int UpdateEntry(int argc, wchar_t** argv, const UpdateRun& run) {
  // The arguments in UTF-8, as the console logic reads them.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(console::Utf8(argv[i]));
  }
  console::Options options;
  if (const std::optional<int> ended =
          console::ReadCommandLine(args, &options, std::cout, std::cerr)) {
    return *ended;
  }
  Win32Sha256 sha256;
  console::RunPorts ports;
  ports.sha256 = &sha256;
  ports.stop = &InstallConsoleInterrupt();
  ports.out = &std::cout;
  ports.err = &std::cerr;
  const int code = run(options, ports);
  std::cout.flush();
  std::cerr.flush();
  return code;
}

}  // namespace veltra

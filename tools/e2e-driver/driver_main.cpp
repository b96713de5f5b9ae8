// e2e_driver: runs one end-to-end scenario script (script.h) against the program under test, from
// outside its process, under Wine or on Windows.
//
//   e2e_driver.exe <script> [--dir <folder>] [--shots <folder>]
//
// Relative program and file names are found in --dir (default: the driver's own folder);
// screenshots go to --shots (default: the same). Exit code 0 when every step passed, 1 when a step
// failed (the program under test is left running so that a screenshot shows the failure), 2 when
// the arguments or the script are wrong.
// clang-format off
#include <windows.h>
// clang-format on

#include <cstdio>
#include <string>
#include <vector>

#include "runner.h"
#include "script.h"

namespace {

constexpr int kExitPassed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr long kMaxScriptBytes = 1 << 20;

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return L".";
  }
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

bool ReadScript(const std::wstring& path, std::string* text) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) {
    return false;
  }
  char buffer[4096];
  std::size_t got = 0;
  text->clear();
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text->append(buffer, got);
    if (text->size() > static_cast<std::size_t>(kMaxScriptBytes)) {
      std::fclose(file);
      return false;
    }
  }
  std::fclose(file);
  return true;
}

int Usage() {
  std::fprintf(stderr, "usage: e2e_driver.exe <script> [--dir <folder>] [--shots <folder>]\n");
  return kExitUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    return Usage();
  }
  std::wstring folder = OwnFolder();
  std::wstring shots;
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc) {
      return Usage();
    }
    const std::wstring option = argv[i];
    if (option == L"--dir") {
      folder = argv[i + 1];
    } else if (option == L"--shots") {
      shots = argv[i + 1];
    } else {
      return Usage();
    }
  }
  if (shots.empty()) {
    shots = folder;
  }
  std::string source;
  if (!ReadScript(argv[1], &source)) {
    std::fprintf(stderr, "e2e_driver: cannot read the script\n");
    return kExitUsage;
  }
  std::vector<veltra::e2e::Step> steps;
  std::string error;
  if (!veltra::e2e::ParseScript(source, &steps, &error)) {
    std::fprintf(stderr, "e2e_driver: %s\n", error.c_str());
    return kExitUsage;
  }
  veltra::e2e::Runner runner(folder, shots);
  const bool passed = runner.Run(steps);
  runner.Finish(passed);
  return passed ? kExitPassed : kExitFailed;
}

// The demo's entry: the product's start-up and dialog with the virtual camera bench behind the
// ports instead of WinUSB, SetupAPI, DirectShow and the maker's libraries.
//
// The demo (not the product) reads its set-up from the environment:
//   VELTRA_DEMO_CAMERAS      the bench's cameras (demo/bench_roster.h), default "generic,pesca,nxp"
//   VELTRA_DEMO_SPEED        the clock's speed factor, default 1 (real time)
//   VELTRA_DEMO_TRAFFIC_LOG  a file for the bench's USB traffic log (JSON Lines), default none
// clang-format off
#include "platform/win32/win32_windows.h"
// clang-format on

#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "app/shown_controls.h"
#include "demo/bench_roster.h"
#include "demo/bench_window.h"
#include "demo/demo_bench.h"
#include "demo/demo_ports.h"
#include "platform/ports.h"
#include "platform/win32/win32_dialog_app.h"
#include "platform/win32/win32_vendor_library.h"

namespace {

constexpr wchar_t kDemoCaption[] = L"Veltra_FW_Updater_Demo";
constexpr int kExitBadSetup = 2;
constexpr int kNameChars = 100;
constexpr DWORD kEnvChars = 1024;

// An environment variable as ASCII text ("" when unset).
std::string Environment(const wchar_t* name) {
  wchar_t value[kEnvChars] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, kEnvChars);
  if (length == 0 || length >= kEnvChars) {
    return "";
  }
  std::string out;
  for (DWORD i = 0; i < length; ++i) {
    out.push_back(value[i] < 0x80 ? static_cast<char>(value[i]) : '?');
  }
  return out;
}

bool AnotherCopyRunning(HINSTANCE instance) {
  wchar_t title[kNameChars] = {};
  wchar_t className[kNameChars] = {};
  LoadStringW(instance, IDS_APP_TITLE, title, kNameChars);
  LoadStringW(instance, IDC_VELTRA_FW_UPDATER, className, kNameChars);
  return FindWindowW(className, title) != nullptr;
}

int SetupError(const std::string& variable, const std::string& error) {
  const std::string text = variable + ": " + error;
  const std::wstring wide(text.begin(), text.end());
  MessageBoxW(nullptr, wide.c_str(), kDemoCaption, MB_OK | MB_ICONERROR);
  return kExitBadSetup;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR /*commandLine*/,
                    int showCommand) {
  veltra::RestrictDllSearchPath();
  // A second start only brings the running copy to the front: no second bench.
  if (AnotherCopyRunning(instance)) {
    veltra::Win32DialogView view;  // only brings the running copy to the front
    return veltra::RunVeltraApplication(instance, showCommand, view);
  }

  namespace demo = veltra::demo;
  std::string error;
  std::string rosterText = Environment(L"VELTRA_DEMO_CAMERAS");
  if (rosterText.empty()) {
    rosterText = demo::kDefaultRoster;
  }
  std::vector<demo::CameraEntry> roster;
  if (!demo::ParseRoster(rosterText, &roster, &error)) {
    return SetupError("VELTRA_DEMO_CAMERAS", error);
  }
  demo::DemoBench::Config config;
  if (!demo::ParseSpeed(Environment(L"VELTRA_DEMO_SPEED"), &config.speed, &error)) {
    return SetupError("VELTRA_DEMO_SPEED", error);
  }
  config.trafficLogPath = Environment(L"VELTRA_DEMO_TRAFFIC_LOG");

  // Never deleted: threads of the program that nobody joins (a worker showing its message box
  // when the dialog is closed) may still reach the ports until the process ends.
  auto* bench = new demo::DemoBench(config, demo::MakeCameras(roster));
  if (!bench->TrafficLogOk()) {
    return SetupError("VELTRA_DEMO_TRAFFIC_LOG", "cannot write " + config.trafficLogPath);
  }
  static demo::DemoSystem system(bench->clock());
  static demo::DemoDialogView dialog(config.speed);
  veltra::Ports set;
  set.system = &system;
  set.usb = &bench->usb();
  set.camera = &bench->camera();
  set.hidInput = &bench->hidInput();
  set.vendor = &bench->vendor();
  set.discovery = &bench->discovery();
  static veltra::ShownControls shown(dialog);  // what the user sees, for whoever has no screen
  set.dialog = &shown;
  veltra::InstallPorts(set);

  bench->PlugStartupCameras();
  const HWND benchWindow = demo::CreateBenchWindow(instance, *bench, dialog);
  const int exitCode = veltra::RunVeltraApplication(instance, showCommand, dialog);
  // The bench stops delivering changes and writes out its traffic log, and then the process ends
  // as the product's does: with ExitProcess, the ports and the bench still standing and no static
  // object of the program torn down. A normal return would run those destructors, and the update
  // session's (the Sunplus camera's close, its library's release) would reach a bench whose
  // objects are being destroyed beside them, while a worker nobody joins may still be running.
  bench->Stop();
  if (benchWindow != nullptr) {
    DestroyWindow(benchWindow);
  }
  ExitProcess(static_cast<UINT>(exitCode));
}
